#include "ui/folder_dialog_form.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QStyle>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

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

// Shows only the root folder and what lies below it (and the chain of its
// parents, which the view's root index hides).
class UnderRootFilter : public QSortFilterProxyModel {
 public:
  UnderRootFilter(QString root, QObject* parent)
      : QSortFilterProxyModel(parent), root_(std::move(root)) {}

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* model = static_cast<QFileSystemModel*>(sourceModel());
    const QString path = model->filePath(model->index(row, 0, parent));
    return IsAtOrBelow(path, root_) || IsAtOrBelow(root_, path);
  }

 private:
  static bool IsAtOrBelow(const QString& path, const QString& folder) {
    if (folder == "/") return path.startsWith('/');
    return path == folder || path.startsWith(folder + '/');
  }

  QString root_;
};

// Every node of the tree is a folder: one folder icon from the style, which
// needs no icon theme on the desktop.
class FolderIconProvider : public QAbstractFileIconProvider {
 public:
  explicit FolderIconProvider(QIcon folder) : folder_(std::move(folder)) {}
  QIcon icon(IconType) const override { return folder_; }
  QIcon icon(const QFileInfo&) const override { return folder_; }

 private:
  QIcon folder_;
};

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

TFolderDialogForm::TFolderDialogForm(QWidget* owner, const QString& root)
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

  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden |
                      QDir::Drives);
  folders_->setOption(QFileSystemModel::DontWatchForChanges);
  folders_->setReadOnly(true);
  icons_ = std::make_unique<FolderIconProvider>(
      style()->standardIcon(QStyle::SP_DirIcon));
  folders_->setIconProvider(icons_.get());
  folders_->setRootPath(root);
  under_root_ = new UnderRootFilter(QDir::cleanPath(root), this);
  under_root_->setSourceModel(folders_);

  FolderTree = new FolderTreeView(this);
  FolderTree->setObjectName("FolderTree");
  FolderTree->setModel(under_root_);
  FolderTree->setHeaderHidden(true);
  for (int column = 1; column < folders_->columnCount(); ++column)
    FolderTree->hideColumn(column);
  FolderTree->setIndentation(19);
  FolderTree->setRootIsDecorated(false);
  FolderTree->setContextMenuPolicy(Qt::NoContextMenu);
  FolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The selection stays visible while the tree does not have the focus.
  QPalette palette = FolderTree->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  FolderTree->setPalette(palette);
  // The root node itself is the tree's first node: show it under its parent.
  const QModelIndex root_index = folders_->index(QDir::cleanPath(root));
  FolderTree->setRootIndex(under_root_->mapFromSource(root_index.parent()));
  FolderTree->expand(under_root_->mapFromSource(root_index));

  BottomPanel = new QWidget(this);
  BottomPanel->setObjectName("BottomPanel");
  BottomPanel->setFixedHeight(kBottomPanelHeight);
  OkButton = new QPushButton(QString::fromUtf8("OK(&O)"), BottomPanel);
  OkButton->setObjectName("OkButton");
  CancelButton = new QPushButton(QString::fromUtf8("キャンセル(&C)"), BottomPanel);
  CancelButton->setObjectName("CancelButton");
  for (QPushButton* button : {OkButton, CancelButton}) {
    button->setAutoDefault(false);
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

TFolderDialogForm::~TFolderDialogForm() {
  // The model asks the icon provider until it is gone, so it goes first.
  delete FolderTree;
  delete under_root_;
  delete folders_;
}

void TFolderDialogForm::SetMessage(const QString& text) {
  MessageLabel->setText(text);
  MessageLabel->adjustSize();
}

bool TFolderDialogForm::SelectFolder(const QString& folder) {
  const QModelIndex source = folders_->index(QDir::cleanPath(folder));
  const QModelIndex index = under_root_->mapFromSource(source);
  if (!index.isValid()) return false;
  for (QModelIndex parent = index.parent(); parent.isValid();
       parent = parent.parent())
    FolderTree->expand(parent);
  FolderTree->setCurrentIndex(index);
  FolderTree->scrollTo(index);
  return true;
}

void TFolderDialogForm::SelectRoot() {
  const QModelIndex first = under_root_->index(0, 0, FolderTree->rootIndex());
  if (first.isValid()) FolderTree->setCurrentIndex(first);
}

QString TFolderDialogForm::SelectedPath() const {
  const QModelIndexList selected = FolderTree->selectionModel()->selectedRows();
  if (selected.isEmpty()) return QString();
  return folders_->filePath(under_root_->mapToSource(selected.first()));
}

void TFolderDialogForm::SetClientSize(int width, int height) {
  resize(width, height);
  PlaceButtons();
}

void TFolderDialogForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceButtons();
}

void TFolderDialogForm::done(int result) {
  if (CanClose && !CanClose()) return;
  QDialog::done(result);
}

void TFolderDialogForm::PlaceButtons() {
  const int width = BottomPanel->width() > 0 ? BottomPanel->width() : this->width();
  OkButton->move(width - kOkRightMargin - kButtonWidth, 8);
  CancelButton->move(width - kCancelRightMargin - kButtonWidth, 8);
}

}  // namespace kuronel
