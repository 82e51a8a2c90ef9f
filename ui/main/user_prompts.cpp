#include "ui/main/user_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace orvalis {

namespace {

QMessageBox* makeBox(QWidget* parent, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                              QMessageBox::Ok, parent);
  box->setAccessibleName(text);
  return box;
}

}  // namespace

void DesktopPrompts::showMessage(QWidget* parent, const QString& text) {
  QMessageBox* box = makeBox(parent, text);
  box->exec();
  delete box;
}

std::optional<QString> DesktopPrompts::chooseFile(QWidget* parent, const QString& filter) {
  return chooseFileIn(parent, filter, QString());
}

std::optional<QString> DesktopPrompts::chooseFileIn(QWidget* parent, const QString& filter,
                                                    const QString& folder) {
  QFileDialog dialog(parent);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(filter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> DesktopPrompts::chooseFolder(QWidget* parent, const QString& start) {
  const QString folder = QFileDialog::getExistingDirectory(parent, QString(), start);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

std::optional<std::vector<QString>> DesktopPrompts::chooseFiles(QWidget* parent,
                                                                const QString& filter) {
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(filter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  return std::vector<QString>(chosen.begin(), chosen.end());
}

std::optional<QString> DesktopPrompts::chooseSaveFile(QWidget* parent, const QString& filter,
                                                      const QString& suggestedName) {
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(QStringLiteral("html"));
  const QFileInfo suggested(suggestedName);
  if (suggested.isAbsolute()) dialog.setDirectory(suggested.absolutePath());
  dialog.selectFile(suggested.fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

void DesktopPrompts::showNotice(QWidget* parent, const QString& text,
                                std::function<void()> dismissed) {
  QMessageBox* box = makeBox(parent, text);
  box->setWindowModality(Qt::NonModal);
  QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
  // Runs once: when the box has been closed, or is destroyed with its parent.
  QObject::connect(box, &QObject::destroyed, box,
                   [dismissed = std::move(dismissed)] { dismissed(); });
  box->show();
  // The notice takes the keyboard, so that Enter answers it rather than the window below.
  box->raise();
  box->activateWindow();
}

}  // namespace orvalis
