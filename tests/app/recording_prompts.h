// A UserPrompts that records every message instead of showing a box, and
// whether a splash window was up when it came.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "app/splash_wnd.h"
#include "ui/main/user_prompts.h"

namespace orvalis::testing {

class RecordingPrompts final : public UserPrompts {
 public:
  void showMessage(QWidget*, const QString& text) override {
    messages.append(text);
    splashShownAtMessage.push_back(CSplashWnd::activeSplash != nullptr);
  }
  std::optional<QString> chooseFile(QWidget*, const QString&) override { return std::nullopt; }
  std::optional<QString> chooseSaveFile(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  void showNotice(QWidget*, const QString& text, std::function<void()> dismissed) override {
    messages.append(text);
    dismissed();
  }

  QStringList messages;
  std::vector<bool> splashShownAtMessage;  // whether a splash was up at each message
};

}  // namespace orvalis::testing
