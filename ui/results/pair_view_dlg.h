// One pair of files side by side with every significant match of the pair
// marked at once, each in a tint of its own and the same tint in both files.
// Next and Previous Match (buttons, F3 and Shift+F3) select the next match in
// both files and scroll both to it.
#pragma once

#include <QDialog>
#include <cstddef>

#include "analysis/file_pairs.h"

class QLabel;
class QPushButton;

namespace orvalis {

class CRichEditCtrlGS;
class UserPrompts;

// A push button of the file-pairs windows: `caption` with its & mark, named
// `name` for tests and the caption without the mark for screen readers; it
// never takes Enter from the table or views.
QPushButton* makeDialogButton(QWidget* parent, const char* caption, const char* name);

class CPairViewDlg : public QDialog {
  Q_OBJECT

 public:
  // `table` and `results` must outlive the dialog; `pair` is a position in
  // table.pairs. Both files are loaded when the dialog is made.
  CPairViewDlg(UserPrompts& prompts, const FilePairTable& table, std::size_t pair,
               const ResultTable& results, QWidget* parent = nullptr);
  ~CPairViewDlg() override;

  void OnNextMatch();
  void OnPreviousMatch();

  std::size_t currentMatch() const { return current_; }
  CRichEditCtrlGS* viewA() const { return viewA_; }
  CRichEditCtrlGS* viewB() const { return viewB_; }

 private:
  // Loads a file into its view and marks every match of the pair in it.
  void showFile(CRichEditCtrlGS& view, const FileEntry& file);
  void showMatch(std::size_t match);
  // The stretch of match `match` in `file`.
  std::pair<std::int32_t, std::int32_t> stretchOf(std::size_t match, const FileEntry& file) const;

  UserPrompts& prompts_;
  const FilePairStats& pair_;
  const ResultTable& results_;
  std::size_t current_ = 0;

  QLabel* figures_ = nullptr;
  QLabel* nameA_ = nullptr;
  QLabel* nameB_ = nullptr;
  CRichEditCtrlGS* viewA_ = nullptr;
  CRichEditCtrlGS* viewB_ = nullptr;
  QLabel* counter_ = nullptr;
  QPushButton* previousButton_ = nullptr;
  QPushButton* nextButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
};

}  // namespace orvalis
