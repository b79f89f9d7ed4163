#include "ui/folder_dialog_form.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/folder_tree_model.h"
#include "ui/keyboard_buttons.h"

namespace kuronel {
namespace {

constexpr int kTopPanelHeight = 33;
constexpr int kBottomPanelHeight = 41;
constexpr int kButtonWidth = 89;
constexpr int kButtonHeight = 25;
// Distances of the buttons' right edges from the window's right edge, as
// designed (OK at 128 and Cancel at 224 in a 321-pixel client area).
constexpr int kOkRightMargin = 104;
constexpr int kCancelRightMargin = 8;

// A tree in which a right click selects the node under the pointer, as a
// left click does, and opens no menu.
class FolderTreeView : public QTreeView {
 public:
  using QTreeView::QTreeView;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) {
      QModelIndex index = indexAt(event->position().toPoint());
      if (index.isValid()) setCurrentIndex(index);
      return;
    }
    QTreeView::mousePressEvent(event);
  }
};

}  // namespace

TFolderDialogForm::TFolderDialogForm(QWidget* owner,
                                     const std::vector<FolderPlace>& places)
    : QDialog(owner) {
  setObjectName("FolderDialogForm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);

  TopPanel = new QWidget(this);
  TopPanel->setObjectName("TopPanel");
  TopPanel->setFixedHeight(kTopPanelHeight);
  MessageLabel = new QLabel(TopPanel);
  MessageLabel->setObjectName("MessageLabel");
  MessageLabel->move(8, 10);

  // Every node is a folder: one folder icon from the style, which needs no
  // icon theme on the desktop.
  folders_ = new FolderTreeModel(
      places, style()->standardIcon(QStyle::SP_DirIcon), this);

  FolderTree = new FolderTreeView(this);
  FolderTree->setObjectName("FolderTree");
  FolderTree->setModel(folders_);
  FolderTree->setHeaderHidden(true);
  FolderTree->setIndentation(19);
  // One root is shown opened, without a button; several places at the top
  // (the home folder, the drives, "/") each need their button.
  FolderTree->setRootIsDecorated(places.size() > 1);
  FolderTree->setContextMenuPolicy(Qt::NoContextMenu);
  FolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The selection stays visible while the tree does not have the focus.
  QPalette palette = FolderTree->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  FolderTree->setPalette(palette);
  if (places.size() == 1) FolderTree->expand(folders_->index(0, 0));

  BottomPanel = new QWidget(this);
  BottomPanel->setObjectName("BottomPanel");
  BottomPanel->setFixedHeight(kBottomPanelHeight);
  OkButton = new QPushButton(QString::fromUtf8("OK(&O)"), BottomPanel);
  OkButton->setObjectName("OkButton");
  CancelButton =
      new QPushButton(QString::fromUtf8("キャンセル(&C)"), BottomPanel);
  CancelButton->setObjectName("CancelButton");
  for (QPushButton* button : {OkButton, CancelButton}) {
    button->setAutoDefault(false);
    // Return presses the button that has the focus (OK elsewhere).
    PressOnReturn(button);
    button->resize(kButtonWidth, kButtonHeight);
  }
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  // QDialog presses reject on Escape, which is what Cancel does.
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(TopPanel);
  layout->addWidget(FolderTree, 1);
  layout->addWidget(BottomPanel);
}

TFolderDialogForm::~TFolderDialogForm() = default;

void TFolderDialogForm::SetMessage(const QString& text) {
  MessageLabel->setText(text);
  MessageLabel->adjustSize();
}

bool TFolderDialogForm::SelectFolder(const std::string& folder) {
  const QModelIndex index = folders_->IndexOf(folder);
  if (!index.isValid()) return false;
  for (QModelIndex parent = index.parent(); parent.isValid();
       parent = parent.parent())
    FolderTree->expand(parent);
  FolderTree->setCurrentIndex(index);
  ScrollToSelection();
  return true;
}

void TFolderDialogForm::SelectRoot() {
  const QModelIndex first = folders_->index(0, 0);
  if (first.isValid()) FolderTree->setCurrentIndex(first);
}

std::string TFolderDialogForm::SelectedPath() const {
  const QModelIndexList selected = FolderTree->selectionModel()->selectedRows();
  if (selected.isEmpty()) return std::string();
  return PathAt(selected.first());
}

std::string TFolderDialogForm::PathAt(const QModelIndex& index) const {
  return folders_->PathOf(index);
}

void TFolderDialogForm::ScrollToSelection() {
  const QModelIndex current = FolderTree->currentIndex();
  if (current.isValid())
    FolderTree->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void TFolderDialogForm::SetClientSize(int width, int height) {
  resize(width, height);
  PlaceButtons();
}

void TFolderDialogForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceButtons();
}

void TFolderDialogForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A folder selected before the showing was scrolled to in a tree not yet
  // laid out; its place is known once the window's layout has run.
  QTimer::singleShot(0, this, &TFolderDialogForm::ScrollToSelection);
}

void TFolderDialogForm::done(int result) {
  if (CanClose && !CanClose()) return;
  QDialog::done(result);
}

void TFolderDialogForm::PlaceButtons() {
  const int width =
      BottomPanel->width() > 0 ? BottomPanel->width() : this->width();
  OkButton->move(width - kOkRightMargin - kButtonWidth, 8);
  CancelButton->move(width - kCancelRightMargin - kButtonWidth, 8);
}

}  // namespace kuronel
