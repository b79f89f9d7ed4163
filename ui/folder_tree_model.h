#ifndef KURONEL_UI_FOLDER_TREE_MODEL_H_
#define KURONEL_UI_FOLDER_TREE_MODEL_H_

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/desktop_places.h"

namespace kuronel {

// The folders of the file system under a few places at the top (the home
// folder, the drives, "/"), one column. A folder's subfolders are read when
// it is first expanded, or when a path below it is looked up; the model
// lists what it needs at once, so a path can be selected and scrolled to
// without waiting for a listing in the background. Paths are the bytes the
// file system gives, which need not be UTF-8; a folder's name shows decoded
// (UTF-8, else Shift_JIS as old cards write it).
class FolderTreeModel : public QAbstractItemModel {
 public:
  FolderTreeModel(const std::vector<FolderPlace>& places, QIcon folder_icon,
                  QObject* parent = nullptr);
  ~FolderTreeModel() override;

  // The node of `folder` under the place that holds it most closely (a
  // folder on a drive under the drive, not under "/"); invalid when no
  // place holds it or a folder on the way does not exist.
  QModelIndex IndexOf(const std::string& folder);
  // The folder's path byte for byte; empty for an invalid index.
  std::string PathOf(const QModelIndex& index) const;

  QModelIndex index(int row, int column,
                    const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  struct Node;
  Node* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOfNode(Node* node) const;
  // Reads the node's subfolders once, telling the views.
  void List(Node* node);

  std::vector<std::unique_ptr<Node>> places_;
  QIcon folder_icon_;
};

}  // namespace kuronel

#endif  // KURONEL_UI_FOLDER_TREE_MODEL_H_
