// The "File Pairs" window: every pair of files of the last scan with a
// significant match as a table (both files, each file's share, the longest
// match, the best E-value, the number of matches and the group) that sorts by
// any column. A pair opens as both files side by side with all its matches
// marked; a group opens as a window of its own pairs.
#pragma once

#include <QDialog>
#include <memory>

#include "analysis/file_pairs.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace orvalis {

class FilePairsModel;
class UserPrompts;

class CFilePairsDlg : public QDialog {
  Q_OBJECT

 public:
  // `table` and `results` must outlive the dialog; `prompts` tells about files
  // that cannot be shown. With a group number, only that group's pairs.
  CFilePairsDlg(UserPrompts& prompts, const FilePairTable& table, const ResultTable& results,
                int group = 0, QWidget* parent = nullptr);
  ~CFilePairsDlg() override;

  QTableView* pairTable() const { return tableView_; }
  FilePairsModel* model() const { return model_; }

  // Opens the chosen pair, or the chosen pair's group.
  void OnOpenPair();
  void OnOpenGroup();
  // Sorts by a column, as Ctrl+1 to Ctrl+8 do: a column chosen again sorts the
  // other way.
  void sortByColumn(int column);

 signals:
  // A pair's window or a group's window is about to be shown (for tests).
  void pairOpening(QDialog* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnShowAllPairs();
  void updateButtons();
  int chosenRow() const;

  UserPrompts& prompts_;
  const FilePairTable& table_;
  const ResultTable& results_;
  int group_ = 0;
  FilePairsModel* model_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableView* tableView_ = nullptr;
  QCheckBox* showAllBox_ = nullptr;
  QPushButton* openPairButton_ = nullptr;
  QPushButton* openGroupButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
};

}  // namespace orvalis
