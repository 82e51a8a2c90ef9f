// The boxes and choosers that the dialogs show, behind one small interface, so
// that tests can record the messages and answer the chooser instead of showing
// windows.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace orvalis {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // A message with an OK button only; returns when the user has dismissed it.
  virtual void showMessage(QWidget* parent, const QString& text) = 0;

  // An Open dialog in "any file" mode: the name chosen or typed need not exist,
  // only its folder must. Nothing when the user cancels.
  virtual std::optional<QString> chooseFile(QWidget* parent, const QString& filter) = 0;

  // The same, starting in `folder` where it is not empty. Prompts that do not
  // care where the chooser starts need not override it.
  virtual std::optional<QString> chooseFileIn(QWidget* parent, const QString& filter,
                                              const QString& folder) {
    static_cast<void>(folder);
    return chooseFile(parent, filter);
  }

  // An Open dialog for one or more existing files. Nothing when the user
  // cancels. By default the one-file dialog.
  virtual std::optional<std::vector<QString>> chooseFiles(QWidget* parent, const QString& filter) {
    auto one = chooseFile(parent, filter);
    if (!one) return std::nullopt;
    return std::vector<QString>{*one};
  }

  // A Save dialog that offers `suggestedName` and asks before replacing a file;
  // a full path starts it in that path's folder.
  // Nothing when the user cancels.
  virtual std::optional<QString> chooseSaveFile(QWidget* parent, const QString& filter,
                                                const QString& suggestedName) = 0;

  // A chooser of an existing folder, started in `start` (empty: the working
  // folder). Nothing when the user cancels, and nothing where no chooser is
  // offered.
  virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& start) {
    (void)parent;
    (void)start;
    return std::nullopt;
  }

  // A message with an OK button that leaves its parent usable and returns at
  // once; `dismissed` runs when the user closes it, or when the parent dies.
  virtual void showNotice(QWidget* parent, const QString& text,
                          std::function<void()> dismissed) = 0;
};

// The desktop's own message boxes and file dialog.
class DesktopPrompts final : public UserPrompts {
 public:
  void showMessage(QWidget* parent, const QString& text) override;
  std::optional<QString> chooseFile(QWidget* parent, const QString& filter) override;
  std::optional<QString> chooseFileIn(QWidget* parent, const QString& filter,
                                      const QString& folder) override;
  std::optional<std::vector<QString>> chooseFiles(QWidget* parent, const QString& filter) override;
  std::optional<QString> chooseSaveFile(QWidget* parent, const QString& filter,
                                        const QString& suggestedName) override;
  std::optional<QString> chooseFolder(QWidget* parent, const QString& start) override;
  void showNotice(QWidget* parent, const QString& text, std::function<void()> dismissed) override;
};

}  // namespace orvalis
