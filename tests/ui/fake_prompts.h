// Stands in for the desktop's message boxes, file choosers and notices: records
// what the dialogs show and answers the choosers with a prepared choice.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "ui/main/user_prompts.h"

namespace orvalis::testing {

class FakePrompts final : public UserPrompts {
 public:
  void showMessage(QWidget*, const QString& text) override {
    messages.push_back(text);
    if (onMessage) onMessage();
  }

  std::optional<QString> chooseFile(QWidget* parent, const QString& filter) override {
    return chooseFileIn(parent, filter, QString());
  }

  std::optional<QString> chooseFileIn(QWidget*, const QString& filter,
                                      const QString& folder) override {
    filters.push_back(filter);
    folders.push_back(folder);
    return std::exchange(nextChoice, std::nullopt);
  }

  std::optional<QString> chooseSaveFile(QWidget*, const QString& filter,
                                        const QString& suggested) override {
    filters.push_back(filter);
    suggestions.push_back(suggested);
    return std::exchange(nextChoice, std::nullopt);
  }

  std::optional<QString> chooseFolder(QWidget*, const QString& start) override {
    folders.push_back(start);
    return std::exchange(nextChoice, std::nullopt);
  }

  void showNotice(QWidget*, const QString& text, std::function<void()> dismissed) override {
    notices.push_back(text);
    pendingNotices.push_back(std::move(dismissed));
  }

  // Dismisses the oldest notice still open.
  void dismissNotice() {
    auto dismissed = std::move(pendingNotices.front());
    pendingNotices.erase(pendingNotices.begin());
    dismissed();
  }

  std::vector<QString> messages;
  std::function<void()> onMessage;  // called as each message comes
  std::vector<QString> filters;
  std::vector<QString> folders;       // where each Open or folder chooser started
  std::vector<QString> suggestions;   // what each Save chooser offered
  std::optional<QString> nextChoice;  // what the next chooser returns, once
  std::vector<QString> notices;
  std::vector<std::function<void()>> pendingNotices;
};

}  // namespace orvalis::testing

// Lets test failures show a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
