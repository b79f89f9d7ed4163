#include "ui/catalogue_model.h"

#include "platform/cp932.h"

namespace kuronel {
namespace {

const char* const kColumnCaptions[] = {"表示形式", "ファイル名", "フォルダ",
                                       "タイムスタンプ"};

QString ColumnText(const CatalogueRow& row, int column) {
  switch (column) {
    case 0:
      return QString::fromUtf8(row.DisplayKind);
    case kFileNameColumn:
      return QString::fromUtf8(DisplayName(row.FileName));
    case kFolderColumn:
      return QString::fromUtf8(DisplayPath(row.Folder));
    default:
      return QString::fromUtf8(row.Timestamp);
  }
}

}  // namespace

CatalogueModel::CatalogueModel(Session& session, QObject* parent)
    : QAbstractTableModel(parent), session_(session) {
  session_.SetCatalogueObserver(this);
}

CatalogueModel::~CatalogueModel() { session_.SetCatalogueObserver(nullptr); }

void CatalogueModel::SetCheckedBackground(std::function<QColor()> colour) {
  checked_background_ = std::move(colour);
}

void CatalogueModel::ChangeRows(
    const std::function<void(FileCatalogue&)>& change) {
  session_.ChangeRows(change);
}

void CatalogueModel::RowsAboutToBeReplaced() { beginResetModel(); }

void CatalogueModel::RowsReplaced() { endResetModel(); }

void CatalogueModel::RowsAboutToBeReordered() {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CatalogueModel::RowsReordered(const std::vector<size_t>& order) {
  std::vector<int> new_row_of(order.size());
  for (size_t i = 0; i < order.size(); ++i)
    new_row_of[order[i]] = static_cast<int>(i);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& index : before)
    after.append(this->index(new_row_of[index.row()], index.column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CatalogueModel::ChecksChanged(size_t first, size_t last) {
  emit dataChanged(index(static_cast<int>(first), 0),
                   index(static_cast<int>(last), columnCount() - 1),
                   {Qt::CheckStateRole, Qt::BackgroundRole});
}

int CatalogueModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Rows().size());
}

int CatalogueModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 4;
}

QVariant CatalogueModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  const CatalogueRow& row = Rows()[index.row()];
  switch (role) {
    case Qt::DisplayRole:
      return ColumnText(row, index.column());
    case Qt::ToolTipRole:
      // Names and folders may be elided in their cells.
      if (index.column() == kFileNameColumn || index.column() == kFolderColumn)
        return ColumnText(row, index.column());
      return QVariant();
    case Qt::CheckStateRole:
      if (index.column() != 0) return QVariant();
      return row.Checked ? Qt::Checked : Qt::Unchecked;
    case Qt::BackgroundRole:
      if (row.Checked && checked_background_) return checked_background_();
      return QVariant();
    default:
      return QVariant();
  }
}

bool CatalogueModel::setData(const QModelIndex& index, const QVariant& value,
                             int role) {
  if (role != Qt::CheckStateRole || index.column() != 0 || !index.isValid())
    return false;
  // The session tells the views (ChecksChanged).
  session_.SetChecked(static_cast<size_t>(index.row()),
                      value.value<Qt::CheckState>() == Qt::Checked);
  emit CheckToggled();
  return true;
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation,
                                    int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= 4)
    return QVariant();
  return QString::fromUtf8(kColumnCaptions[section]);
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

}  // namespace kuronel
