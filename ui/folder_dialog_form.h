#ifndef KURONEL_UI_FOLDER_DIALOG_FORM_H_
#define KURONEL_UI_FOLDER_DIALOG_FORM_H_

#include <QDialog>
#include <QModelIndex>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ui/desktop_places.h"

class QLabel;
class QPushButton;
class QTreeView;
class QWidget;

namespace kuronel {

class FolderTreeModel;

// The folder picker's window: a message above a tree of the file system's
// folders, OK and Cancel below. TSelectFolderDialog creates one for each
// showing.
class TFolderDialogForm : public QDialog {
  Q_OBJECT

 public:
  // `places` are the folders at the top of the tree.
  TFolderDialogForm(QWidget* owner, const std::vector<FolderPlace>& places);
  ~TFolderDialogForm() override;

  void SetMessage(const QString& text);
  // Expands the tree down to `folder`, selects it and scrolls it into view
  // (again once the window is shown and laid out); false when the folder is
  // not in the tree. Paths here are the file system's bytes, which need not
  // be UTF-8.
  bool SelectFolder(const std::string& folder);
  // Selects the tree's first node, the root.
  void SelectRoot();
  // The selected folder's path, empty when no node is selected.
  std::string SelectedPath() const;
  // The path of the folder at a node of the tree.
  std::string PathAt(const QModelIndex& index) const;
  // Lays the panels and buttons out for a client area of this size.
  void SetClientSize(int width, int height);

  // Asked before the window closes by OK or Cancel; false keeps it open.
  std::function<bool()> CanClose;

  QTreeView* FolderTree = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void PlaceButtons();
  void ScrollToSelection();

  QWidget* TopPanel = nullptr;
  QLabel* MessageLabel = nullptr;
  QWidget* BottomPanel = nullptr;
  FolderTreeModel* folders_ = nullptr;
};

}  // namespace kuronel

#endif  // KURONEL_UI_FOLDER_DIALOG_FORM_H_
