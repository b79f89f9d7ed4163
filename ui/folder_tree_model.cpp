#include "ui/folder_tree_model.h"

#include <QCollator>
#include <algorithm>
#include <string_view>

#include "platform/cp932.h"
#include "platform/dir_listing.h"
#include "platform/path.h"

namespace kuronel {

struct FolderTreeModel::Node {
  QString label;     // the name as shown
  std::string name;  // the last name of the path, byte for byte
  std::string path;
  Node* parent = nullptr;
  int row = 0;
  bool listed = false;
  std::vector<std::unique_ptr<Node>> children;
};

namespace {

// The names of an absolute path, "." and ".." resolved as written, doubled
// and trailing separators dropped.
std::vector<std::string> NamesOf(std::string_view path) {
  std::vector<std::string> names;
  for (std::string_view::size_type start = 0; start <= path.size();) {
    std::string_view::size_type slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view name = path.substr(start, slash - start);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    start = slash + 1;
  }
  return names;
}

std::string CleanPath(std::string_view path) {
  std::string clean;
  for (const std::string& name : NamesOf(path)) clean += "/" + name;
  return clean.empty() ? "/" : clean;
}

bool Holds(const std::string& place, const std::string& folder) {
  if (place == "/") return folder.starts_with('/');
  return folder == place || folder.starts_with(place + '/');
}

QString Shown(std::string_view name) {
  return QString::fromStdString(DisplayName(name));
}

struct Subfolder {
  QString label;
  std::string name;
};

// The folders in `folder` (hidden ones and links to folders included) in the
// order of their shown names, case ignored. The listing is the file
// system's own, so a name that is not UTF-8 is listed too.
std::vector<Subfolder> Subfolders(const std::string& folder) {
  std::vector<Subfolder> subfolders;
  ListSubfolders(
      folder,
      [&subfolders](const DirEntry& entry) {
        if ((entry.attributes & kAttrDirectory) != 0)
          subfolders.push_back({Shown(entry.name), std::string(entry.name)});
      },
      RealSystemCalls());
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(subfolders.begin(), subfolders.end(),
            [&collator](const Subfolder& a, const Subfolder& b) {
              const int order = collator.compare(a.label, b.label);
              return order != 0 ? order < 0 : a.name < b.name;
            });
  return subfolders;
}

}  // namespace

FolderTreeModel::FolderTreeModel(const std::vector<FolderPlace>& places,
                                 QIcon folder_icon, QObject* parent)
    : QAbstractItemModel(parent), folder_icon_(std::move(folder_icon)) {
  for (const FolderPlace& place : places) {
    auto node = std::make_unique<Node>();
    node->label = Shown(place.label);
    node->path = CleanPath(place.path);
    node->row = static_cast<int>(places_.size());
    places_.push_back(std::move(node));
  }
}

FolderTreeModel::~FolderTreeModel() = default;

QModelIndex FolderTreeModel::IndexOf(const std::string& folder) {
  const std::string path = CleanPath(folder);
  Node* node = nullptr;
  for (const auto& place : places_) {
    if (Holds(place->path, path) &&
        (node == nullptr || place->path.size() > node->path.size()))
      node = place.get();
  }
  if (node == nullptr) return QModelIndex();
  for (const std::string& name :
       NamesOf(std::string_view(path).substr(node->path.size()))) {
    List(node);
    auto child = std::find_if(
        node->children.begin(), node->children.end(),
        [&name](const std::unique_ptr<Node>& c) { return c->name == name; });
    if (child == node->children.end()) return QModelIndex();
    node = child->get();
  }
  return IndexOfNode(node);
}

std::string FolderTreeModel::PathOf(const QModelIndex& index) const {
  Node* node = NodeOf(index);
  return node ? node->path : std::string();
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
  std::vector<Subfolder> subfolders = Subfolders(node->path);
  if (subfolders.empty()) return;
  beginInsertRows(IndexOfNode(node), 0,
                  static_cast<int>(subfolders.size()) - 1);
  for (Subfolder& subfolder : subfolders) {
    auto child = std::make_unique<Node>();
    child->label = std::move(subfolder.label);
    child->path = JoinPath(node->path, subfolder.name);
    child->name = std::move(subfolder.name);
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
  if (role == Qt::DisplayRole) return node->label;
  if (role == Qt::DecorationRole) return folder_icon_;
  // A long name is shortened to the tree's width; the tip has the whole
  // path.
  if (role == Qt::ToolTipRole)
    return QString::fromStdString(DisplayPath(node->path));
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
