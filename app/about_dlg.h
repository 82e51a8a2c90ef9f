// The about box: the program's name and version, its maker's notice, and a
// button that opens the maker's discussion group in the browser.
#pragma once

#include <QDialog>

class QPushButton;

namespace orvalis {

inline constexpr const char* kAboutCaption = "About Orvalis";
inline constexpr const char* kAboutVersionText = "Orvalis Version 1.1";
inline constexpr const char* kAboutNotice = "Copyright (C) 2026 Tovimar";
inline constexpr const char* kDiscussionGroupAddress =
    "https://tovimar.example/orvalis/discussion/";

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 100 };
  static constexpr int IDC_DISCUSSION_LINK = 1015;

  explicit CAboutDlg(QWidget* parent = nullptr);

 private:
  void OnDiscussionLink();

  QPushButton* okButton_ = nullptr;
  QPushButton* discussionButton_ = nullptr;
};

}  // namespace orvalis
