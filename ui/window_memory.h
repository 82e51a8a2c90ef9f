// What the desktop program remembers for the user between runs: the size of
// the results window and the folder of the last report. Kept in the user's own
// configuration, apart from the machine's scan settings, which it never touches.
#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace orvalis {

// The user's file (Tovimar/Orvalis-windows.ini in the user's configuration
// folder), read without falling back to any machine-wide file.
std::unique_ptr<QSettings> openWindowMemory();

inline constexpr const char* kResultsGeometryKey = "results/geometry";
inline constexpr const char* kReportFolderKey = "report/folder";

// The folder the report's Save dialog starts in: the last report's folder, or
// the user's documents folder before the first report.
QString reportFolder();
void rememberReportFolder(const QString& folder);

}  // namespace orvalis
