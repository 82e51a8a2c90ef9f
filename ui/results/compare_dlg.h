// The "Results" window: lists the results of the last scan that look like
// copied text, and shows a chosen one as both files, one above the other, with
// the matched stretches selected and each side's consensus beneath.
#pragma once

#include <QDialog>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "analysis/result_listing.h"
#include "analysis/set_aside.h"
#include "analysis/significance.h"
#include "engine/records.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;

namespace orvalis {

class CRichEditCtrlGS;
class UserPrompts;

class CCompareDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 130 };
  static constexpr int IDC_RESULT_LIST = 1007;
  static constexpr int IDC_UPPER_VIEW = 1008;
  static constexpr int IDC_LOWER_VIEW = 1010;
  static constexpr int IDC_NAME_A = 1011;
  static constexpr int IDC_NAME_B = 1012;
  static constexpr int IDC_CONSENSUS_A = 1025;
  static constexpr int IDC_CONSENSUS_B = 1026;
  static constexpr int IDC_SHOW_ALL = 1027;
  static constexpr int IDC_STRONGEST_FIRST = 1028;

  // Messages about files and the report's file chooser go through `prompts`,
  // which must outlive the dialog. Set engineResults before the dialog is shown.
  explicit CCompareDlg(UserPrompts& prompts, QWidget* parent = nullptr);
  ~CCompareDlg() override;

  // Writes the page of the results listed now to `file`, as orvalis-scan's
  // --html writes it; returns why it could not, empty when it was written.
  std::string writeReport(const std::filesystem::path& file) const;

  // Closing, Esc and Enter end the window here; its size is remembered for the
  // next one.
  void done(int result) override;

  // Opens the about box over the window on F1; may be left empty.
  std::function<void(QWidget*)> showAbout;

  // The results of the last scan, read only; they must not change while the
  // dialog is open.
  const ResultTable* engineResults = nullptr;
  // The scan itself, when known: its statistics then leave widely shared text
  // out of the fit. What it set aside, when anything: the window says so.
  const CompareEngine* engine = nullptr;
  const SetAsideReport* setAside = nullptr;
  // Statistics fitted before the window opens, as a fast scan fits them to its
  // sample; when set, the window lists by E-value only.
  const SignificanceModel* fittedSignificance = nullptr;
  // Which result each list line stands for: keys 0 to listedCount - 1.
  std::map<std::int32_t, const PairResult*> listedResults;
  int listedCount = 0;  // lines listed, the "No suspicious files found." line not counted
  int shownFileA = -1;  // index of the file in the upper view; -1: none
  int shownFileB = -1;  // the same for the lower view
  float threshold = 0.0f;
  int showAll = 0;  // the show-all box as last read: 1 ticked, 0 not
  // The strongest-first box as last read: when ticked, the results of E-value
  // kStrongestMaxEvalue or less (every result with showAll) by E-value.
  int strongestFirst = 0;
  SignificanceModel significance;  // fitted when the dialog opens

 protected:
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void connectMessageMap();
  void restoreSize();
  // Shows, under the list, how many results it leaves out, if any.
  void showListingCount();

  void OnInitDialog();
  void FillResultList();
  void OnShowAllResults();
  void OnStrongestFirst();
  void OnResultSelected();
  void OnSaveReport();
  void OnFilePairs();

  // Shows one side of a result: loads its file when the view holds another,
  // selects its stretch, and fills its name and consensus boxes.
  void showSide(CRichEditCtrlGS& view, int& shownFile, const WordGroup* group, std::int32_t start,
                std::int32_t end, QLineEdit& nameBox, QLineEdit& consensusBox,
                const std::string& consensus);

  UserPrompts& prompts_;
  bool initialised_ = false;
  std::vector<ListedResult> listing_;   // the lines listed now, for the report
  std::size_t strongestBeforeCap_ = 0;  // the listing by E-value before its cap

  QComboBox* resultList_ = nullptr;
  CRichEditCtrlGS* upperView_ = nullptr;
  CRichEditCtrlGS* lowerView_ = nullptr;
  QLineEdit* nameBoxA_ = nullptr;
  QLineEdit* nameBoxB_ = nullptr;
  QLabel* cappedLine_ = nullptr;  // how many results the list leaves out
  QLabel* statusLine_ = nullptr;  // where the last report went
  // The row of boxes under the list, which ends in room for buttons.
  QHBoxLayout* optionsRow_ = nullptr;
  QGroupBox* comparisonsGroup_ = nullptr;
  QLineEdit* consensusBoxA_ = nullptr;
  QLineEdit* consensusBoxB_ = nullptr;
  QLabel* consensusLabelA_ = nullptr;
  QLabel* consensusLabelB_ = nullptr;
  QCheckBox* showAllBox_ = nullptr;
  QCheckBox* strongestBox_ = nullptr;
  QAction* saveReportAction_ = nullptr;
  QAction* filePairsAction_ = nullptr;  // opens the File Pairs window
};

}  // namespace orvalis
