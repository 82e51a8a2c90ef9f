// The rows of the File Pairs view: the pairs of a FilePairTable, all of them or
// those with a significant match, or those of one group; ordered by any column.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <vector>

#include "analysis/file_pairs.h"

namespace orvalis {

class FilePairsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `table` must outlive the model. Rows start as the pairs with a significant
  // match, the largest share first.
  explicit FilePairsModel(const FilePairTable& table, QObject* parent = nullptr);

  // Which pairs are rows: every pair with `showAll`, else those with a
  // significant match; only those of group `group` when it is not 0.
  void setFilter(bool showAll, int group);

  // The position in the table of the pair on `row`.
  std::size_t pairAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  const FilePairTable& table() const { return table_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // A column of -1 is the first order: the larger share, largest first.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

 private:
  void order();

  const FilePairTable& table_;
  std::vector<std::size_t> rows_;
  bool showAll_ = false;
  int group_ = 0;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
};

}  // namespace orvalis
