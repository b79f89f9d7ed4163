#include "ui/plan_model.h"

#include <QColor>
#include <utility>
#include <vector>

#include "platform/cp932.h"

namespace kuronel {
namespace {

const char* const kColumnCaptions[] = {"対象ファイル名", "新規ファイル",
                                       "状態"};

const QColor kAttentionColour(255, 0, 0);

}  // namespace

PlanModel::PlanModel(QObject* parent) : QAbstractTableModel(parent) {}

void PlanModel::ChangePlan(const std::function<void(ProcessingPlan&)>& change) {
  beginResetModel();
  change(plan_);
  endResetModel();
}

void PlanModel::ChangeStates(
    const std::function<void(ProcessingPlan&)>& change) {
  change(plan_);
  if (plan_.empty()) return;
  emit dataChanged(index(0, 0), index(rowCount() - 1, kPlanColumnCount - 1),
                   {Qt::DisplayRole, Qt::ForegroundRole});
}

void PlanModel::RowChanged(std::size_t row) {
  if (row >= plan_.size()) return;
  const int r = static_cast<int>(row);
  emit dataChanged(index(r, 0), index(r, kPlanColumnCount - 1),
                   {Qt::DisplayRole, Qt::ForegroundRole});
}

int PlanModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(plan_.size());
}

int PlanModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kPlanColumnCount;
}

QVariant PlanModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  const PlanRow& row = plan_[index.row()];
  switch (role) {
    case Qt::ToolTipRole:
      // The state's tip says why the row did not do all it was asked:
      // why it failed, or why a move kept its source.
      if (index.column() == kStateColumn) {
        if (row.failure.ok()) return QVariant();
        return QString::fromUtf8(
            DisplayPath(row.failure.Describe(Wording::kJapanese)));
      }
      // The path columns are elided in the middle; the tip has them whole.
      [[fallthrough]];
    case Qt::DisplayRole:
      // Paths need not be UTF-8; the list shows each name decoded and the
      // plan keeps the bytes. The state texts are UTF-8 and pass unchanged.
      return QString::fromUtf8(
          DisplayPath(PlanColumnText(row, index.column())));
    case Qt::ForegroundRole:
      if (IsPlainState(row.State)) return QVariant();
      return kAttentionColour;
    case Qt::TextAlignmentRole:
      if (index.column() == kStateColumn)
        return static_cast<int>(Qt::AlignCenter);
      return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return QVariant();
  }
}

QVariant PlanModel::headerData(int section, Qt::Orientation orientation,
                               int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= kPlanColumnCount)
    return QVariant();
  if (role == Qt::DisplayRole)
    return QString::fromUtf8(kColumnCaptions[section]);
  if (role == Qt::TextAlignmentRole && section == kStateColumn)
    return static_cast<int>(Qt::AlignCenter);
  return QVariant();
}

Qt::ItemFlags PlanModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace kuronel
