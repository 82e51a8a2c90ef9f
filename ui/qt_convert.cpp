#include "ui/qt_convert.h"

#include <QFile>

namespace orvalis {

QString toQString(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
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
