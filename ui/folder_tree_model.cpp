#include "ui/folder_tree_model.h"

#include <QDir>
#include <algorithm>

namespace kuronel {

struct FolderTreeModel::Node {
  QString name;
  QString path;
  Node* parent = nullptr;
  int row = 0;
  bool listed = false;
  std::vector<std::unique_ptr<Node>> children;
};

namespace {

bool Holds(const QString& place, const QString& folder) {
  if (place == "/") return folder.startsWith('/');
  return folder == place || folder.startsWith(place + '/');
}

QString ChildPath(const QString& folder, const QString& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

}  // namespace

FolderTreeModel::FolderTreeModel(const std::vector<FolderPlace>& places,
                                 QIcon folder_icon, QObject* parent)
    : QAbstractItemModel(parent), folder_icon_(std::move(folder_icon)) {
  for (const FolderPlace& place : places) {
    auto node = std::make_unique<Node>();
    node->name = QString::fromStdString(place.label);
    node->path = QDir::cleanPath(QString::fromStdString(place.path));
    node->row = static_cast<int>(places_.size());
    places_.push_back(std::move(node));
  }
}

FolderTreeModel::~FolderTreeModel() = default;

QModelIndex FolderTreeModel::IndexOf(const QString& folder) {
  const QString path = QDir::cleanPath(folder);
  Node* node = nullptr;
  for (const auto& place : places_) {
    if (Holds(place->path, path) &&
        (node == nullptr || place->path.size() > node->path.size()))
      node = place.get();
  }
  if (node == nullptr) return QModelIndex();
  const QStringList names =
      path.mid(node->path.size()).split('/', Qt::SkipEmptyParts);
  for (const QString& name : names) {
    List(node);
    auto child = std::find_if(
        node->children.begin(), node->children.end(),
        [&name](const std::unique_ptr<Node>& c) { return c->name == name; });
    if (child == node->children.end()) return QModelIndex();
    node = child->get();
  }
  return IndexOfNode(node);
}

QString FolderTreeModel::PathOf(const QModelIndex& index) const {
  Node* node = NodeOf(index);
  return node ? node->path : QString();
}

FolderTreeModel::Node* FolderTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer())
                         : nullptr;
}

QModelIndex FolderTreeModel::IndexOfNode(Node* node) const {
  return node ? createIndex(node->row, 0, node) : QModelIndex();
}

void FolderTreeModel::List(Node* node) {
  if (node->listed) return;
  node->listed = true;
  const QStringList names =
      QDir(node->path)
          .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                     QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
  if (names.isEmpty()) return;
  beginInsertRows(IndexOfNode(node), 0, static_cast<int>(names.size()) - 1);
  for (const QString& name : names) {
    auto child = std::make_unique<Node>();
    child->name = name;
    child->path = ChildPath(node->path, name);
    child->parent = node;
    child->row = static_cast<int>(node->children.size());
    node->children.push_back(std::move(child));
  }
  endInsertRows();
}

QModelIndex FolderTreeModel::index(int row, int column,
                                   const QModelIndex& parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  const auto& nodes = parent.isValid() ? NodeOf(parent)->children : places_;
  if (row >= static_cast<int>(nodes.size())) return QModelIndex();
  return createIndex(row, 0, nodes[row].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  Node* node = NodeOf(child);
  return node ? IndexOfNode(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(places_.size());
  return static_cast<int>(NodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  Node* node = NodeOf(index);
  if (node == nullptr) return QVariant();
  if (role == Qt::DisplayRole) return node->name;
  if (role == Qt::DecorationRole) return folder_icon_;
  if (role == Qt::ToolTipRole && node->parent == nullptr) return node->path;
  return QVariant();
}

// An unread folder may have subfolders; reading it tells.
bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  Node* node = NodeOf(parent);
  if (node == nullptr) return !places_.empty();
  return !node->listed || !node->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  Node* node = NodeOf(parent);
  return node != nullptr && !node->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  if (Node* node = NodeOf(parent)) List(node);
}

}  // namespace kuronel
