#include "ui/qt_convert.h"

#include <QFile>

#include "analysis/result_listing.h"
#include "engine/records.h"

namespace orvalis {

QString toQString(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

QString fileNameText(const FileEntry& file) {
  QString name = toQString(file.displayName);
  if (file.earlier) name += QString::fromUtf8(kEarlierWorkMark);
  return name;
}

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path toPath(const QString& name) {
#ifdef _WIN32
  return std::filesystem::path(name.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

}  // namespace orvalis
