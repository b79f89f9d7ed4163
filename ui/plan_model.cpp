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

void PlanModel::SetRow(std::size_t row, PlanRow outcome) {
  if (row >= plan_.size()) return;
  plan_[row] = std::move(outcome);
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
      // A copy that went to a numbered name says which name it was meant
      // to have: a file of that name was already there.
      if (index.column() == kNewPathColumn && !row.TargetPath.empty() &&
          row.TargetPath != row.NewPath) {
        return QString::fromUtf8(DisplayPath(row.TargetPath)) +
               QString::fromUtf8("\n（予定の名前 ") +
               QString::fromUtf8(DisplayPath(row.NewPath)) +
               QString::fromUtf8(" は既に使われていました）");
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
