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

CatalogueModel::CatalogueModel(QObject* parent) : QAbstractTableModel(parent) {}

void CatalogueModel::SetCheckedBackground(std::function<QColor()> colour) {
  checked_background_ = std::move(colour);
}

void CatalogueModel::ChangeRows(
    const std::function<void(FileCatalogue&)>& change) {
  beginResetModel();
  change(rows_);
  endResetModel();
}

void CatalogueModel::ChangeChecks(
    const std::function<void(FileCatalogue&)>& change) {
  change(rows_);
  if (rows_.empty()) return;
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                   {Qt::CheckStateRole, Qt::BackgroundRole});
}

void CatalogueModel::Sort(const SortState& state) {
  Reorder(CatalogueOrder(rows_, state));
}

void CatalogueModel::SortByClickedColumn(int column, SortState& state) {
  Reorder(ClickedColumnOrder(
      rows_.size(),
      [this, column](size_t row) {
        return CatalogueColumnText(rows_[row], column);
      },
      column, state));
}

void CatalogueModel::Reorder(std::vector<size_t> order) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> new_row_of(order.size());
  for (size_t i = 0; i < order.size(); ++i)
    new_row_of[order[i]] = static_cast<int>(i);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& index : before)
    after.append(this->index(new_row_of[index.row()], index.column()));
  ApplyPermutation(rows_, std::move(order));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int CatalogueModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CatalogueModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 4;
}

QVariant CatalogueModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  const CatalogueRow& row = rows_[index.row()];
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
  rows_[index.row()].Checked =
      value.value<Qt::CheckState>() == Qt::Checked;
  emit dataChanged(this->index(index.row(), 0),
                   this->index(index.row(), columnCount() - 1),
                   {Qt::CheckStateRole, Qt::BackgroundRole});
  return true;
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation,
                                    int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole ||
      section < 0 || section >= 4)
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
