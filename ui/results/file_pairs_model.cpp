#include "ui/results/file_pairs_model.h"

#include "ui/qt_convert.h"
#include "ui/results/file_pairs_texts.h"

namespace orvalis {

FilePairsModel::FilePairsModel(const FilePairTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
  setFilter(false, 0);
}

void FilePairsModel::setFilter(bool showAll, int group) {
  beginResetModel();
  showAll_ = showAll;
  group_ = group;
  rows_.clear();
  if (group_ > 0 && static_cast<std::size_t>(group_) <= table_.groups.size()) {
    rows_ = table_.groups[static_cast<std::size_t>(group_ - 1)].pairs;
  } else {
    for (std::size_t at = 0; at < table_.pairs.size(); ++at) {
      const FilePairStats& pair = table_.pairs[at];
      if (pair.compared() && (showAll_ || !pair.matches.empty())) rows_.push_back(at);
    }
  }
  order();
  endResetModel();
}

int FilePairsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FilePairsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kPairsColumns;
}

QVariant FilePairsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kPairsColumns) return {};
  const FilePairStats& pair = table_.pairs[pairAt(index.row())];
  const auto column = static_cast<PairsColumn>(index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return fromUtf8(pairCellText(pair, column));
    case Qt::ToolTipRole:
      if (column == PairsColumn::kShareA || column == PairsColumn::kShareB) {
        return fromUtf8(shareDetailText(pair, column == PairsColumn::kShareA));
      }
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(
          (isNumberColumn(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant FilePairsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kPairsColumns) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
    return fromUtf8(pairsColumnTitle(static_cast<PairsColumn>(section)));
  }
  return {};
}

void FilePairsModel::sort(int column, Qt::SortOrder order) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  // The chosen row and the current cell stay on their pairs.
  const QModelIndexList before = persistentIndexList();
  std::vector<std::size_t> pairs;
  for (const QModelIndex& index : before) pairs.push_back(pairAt(index.row()));
  sortColumn_ = column;
  sortOrder_ = order;
  this->order();
  std::vector<int> rowOf(table_.pairs.size(), -1);
  for (std::size_t row = 0; row < rows_.size(); ++row) rowOf[rows_[row]] = static_cast<int>(row);
  QModelIndexList after;
  for (qsizetype i = 0; i < before.size(); ++i) {
    after.push_back(index(rowOf[pairs[static_cast<std::size_t>(i)]], before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FilePairsModel::order() {
  const bool valid = sortColumn_ >= 0 && sortColumn_ < kPairsColumns;
  const PairColumn column =
      valid ? orderOf(static_cast<PairsColumn>(sortColumn_)) : PairColumn::kShare;
  rows_ = orderPairs(table_, rows_, column, valid ? sortOrder_ == Qt::DescendingOrder : true);
}

}  // namespace orvalis
