#include "ui/results/file_pairs_dlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/qt_convert.h"
#include "ui/results/file_pairs_model.h"
#include "ui/results/file_pairs_texts.h"
#include "ui/results/pair_view_dlg.h"

namespace orvalis {

CFilePairsDlg::CFilePairsDlg(UserPrompts& prompts, const FilePairTable& table,
                             const ResultTable& results, int group, QWidget* parent)
    : QDialog(parent), prompts_(prompts), table_(table), results_(results), group_(group) {
  setWindowTitle(group_ > 0 ? fromUtf8(groupCaption(table_, group_))
                            : QString::fromUtf8(kFilePairsCaption));
  model_ = new FilePairsModel(table_, this);
  model_->setFilter(false, group_);

  summary_ = new QLabel(
      group_ > 0 ? fromUtf8(groupCaption(table_, group_)) : fromUtf8(pairsSummaryText(table_)),
      this);
  summary_->setObjectName(QStringLiteral("pairsSummary"));
  summary_->setWordWrap(true);

  tableView_ = new QTableView(this);
  tableView_->setObjectName(QStringLiteral("pairTable"));
  tableView_->setAccessibleName(QString::fromUtf8(kFilePairsCaption));
  tableView_->setAccessibleDescription(summary_->text());
  tableView_->setModel(model_);
  tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
  tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tableView_->setTabKeyNavigation(false);  // Tab leaves the table for the buttons
  tableView_->verticalHeader()->hide();
  tableView_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  tableView_->horizontalHeader()->setAccessibleName(QStringLiteral("Columns"));
  // The first order, the larger share first, shows no column's arrow until a
  // header is chosen.
  tableView_->horizontalHeader()->setSortIndicator(-1, Qt::DescendingOrder);
  tableView_->setSortingEnabled(true);
  tableView_->installEventFilter(this);
  tableView_->resizeColumnsToContents();

  showAllBox_ = new QCheckBox(QString::fromUtf8(kShowAllPairsCaption), this);
  showAllBox_->setObjectName(QStringLiteral("showAllPairsBox"));
  showAllBox_->setAccessibleName(QString::fromUtf8(kShowAllPairsCaption));
  showAllBox_->setVisible(group_ == 0);

  const auto button = [this](const char* caption, const char* name) {
    return makeDialogButton(this, caption, name);
  };
  openPairButton_ = button(kOpenPairCaption, "openPairButton");
  openGroupButton_ = button(kOpenGroupCaption, "openGroupButton");
  openGroupButton_->setVisible(group_ == 0);
  closeButton_ = button(kCloseCaption, "closeButton");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(showAllBox_);
  buttons->addStretch();
  buttons->addWidget(openPairButton_);
  buttons->addWidget(openGroupButton_);
  buttons->addWidget(closeButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(tableView_, 1);
  layout->addLayout(buttons);

  connect(tableView_, &QAbstractItemView::doubleClicked, this, &CFilePairsDlg::OnOpenPair);
  connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CFilePairsDlg::updateButtons);
  connect(showAllBox_, &QCheckBox::clicked, this, &CFilePairsDlg::OnShowAllPairs);
  connect(openPairButton_, &QPushButton::clicked, this, &CFilePairsDlg::OnOpenPair);
  connect(openGroupButton_, &QPushButton::clicked, this, &CFilePairsDlg::OnOpenGroup);
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
  // Ctrl+1 to Ctrl+8 sort by the columns in turn, as a click on the header
  // does: a second time the other way.
  for (int c = 0; c < kPairsColumns; ++c) {
    auto* sortKey = new QShortcut(QKeySequence(Qt::CTRL | (Qt::Key_1 + c)), this);
    connect(sortKey, &QShortcut::activated, this, [this, c]() { sortByColumn(c); });
  }
  tableView_->setToolTip(QStringLiteral("Enter opens the pair; Ctrl+1 to Ctrl+8 sort by a column"));

  if (model_->rowCount() > 0) tableView_->selectRow(0);
  updateButtons();
  tableView_->setFocus();
  // Wide enough for every column as its contents need.
  int width = tableView_->frameWidth() * 2 + tableView_->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < model_->columnCount(); ++c) width += tableView_->columnWidth(c);
  resize(
      std::max(width + layout->contentsMargins().left() + layout->contentsMargins().right(), 640),
      520);
}

CFilePairsDlg::~CFilePairsDlg() = default;

bool CFilePairsDlg::eventFilter(QObject* watched, QEvent* event) {
  // Enter on the table opens the chosen pair.
  if (watched == tableView_ && event->type() == QEvent::KeyPress) {
    const auto key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OnOpenPair();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

int CFilePairsDlg::chosenRow() const {
  const QModelIndexList rows = tableView_->selectionModel()->selectedRows();
  if (!rows.isEmpty()) return rows.front().row();
  const QModelIndex current = tableView_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void CFilePairsDlg::sortByColumn(int column) {
  QHeaderView* header = tableView_->horizontalHeader();
  // Names A to Z first, figures largest first, E-values smallest first.
  const auto kind = static_cast<PairsColumn>(column);
  const bool ascendingFirst = kind == PairsColumn::kFileA || kind == PairsColumn::kFileB ||
                              kind == PairsColumn::kEvalue || kind == PairsColumn::kGroup;
  Qt::SortOrder order = ascendingFirst ? Qt::AscendingOrder : Qt::DescendingOrder;
  if (header->sortIndicatorSection() == column) {
    order = header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                               : Qt::AscendingOrder;
  }
  header->setSortIndicator(column, order);
}

void CFilePairsDlg::updateButtons() {
  const int row = chosenRow();
  const bool chosen = row >= 0 && row < model_->rowCount();
  openPairButton_->setEnabled(chosen);
  openGroupButton_->setEnabled(chosen && table_.pairs[model_->pairAt(row)].group > 0);
}

void CFilePairsDlg::OnShowAllPairs() {
  model_->setFilter(showAllBox_->isChecked(), group_);
  if (model_->rowCount() > 0) tableView_->selectRow(0);
  updateButtons();
}

void CFilePairsDlg::OnOpenPair() {
  const int row = chosenRow();
  if (row < 0 || row >= model_->rowCount()) return;
  CPairViewDlg view(prompts_, table_, model_->pairAt(row), results_, this);
  emit pairOpening(&view);
  view.exec();
}

void CFilePairsDlg::OnOpenGroup() {
  const int row = chosenRow();
  if (row < 0 || row >= model_->rowCount()) return;
  const int group = table_.pairs[model_->pairAt(row)].group;
  if (group <= 0) return;
  CFilePairsDlg groupWindow(prompts_, table_, results_, group, this);
  emit pairOpening(&groupWindow);
  groupWindow.exec();
}

}  // namespace orvalis
