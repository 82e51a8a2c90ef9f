// The texts of the main dialog that are made from data: the status line, the
// file dialog's filter, and the messages about files and folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "engine/scan.h"

namespace orvalis {

inline constexpr const char* kDialogCaption = "Orvalis V1.1";
inline constexpr const char* kAllDoneText =
    "All done. Click \"See Similarities\" button below to see results.";

// The maker's notice on the button at the foot of the dialog, and the product's
// page that it opens.
inline constexpr const char* kWebPageCaption = "Orvalis by Tovimar: tovimar.example/orvalis";
inline constexpr const char* kProductPageAddress = "https://tovimar.example/orvalis/";

// The status line at the end of a scan: kAllDoneText, followed by how many of
// the file pairs came from the results cache when any did.
std::string allDoneText(std::int64_t filePairsFromCache, std::int64_t filePairs);

// The status line once a folder of earlier work is chosen, or none (an empty
// path).
std::string earlierWorkText(const std::filesystem::path& folder);

// "Comparing... (Completed 3 / 10 comparisons so far)".
std::string comparingText(std::int64_t done, std::int64_t total);

// The Open dialog's one filter as the first design wrote it: a name and a
// pattern list separated by "|", ending in "||". The list has 35 patterns, one
// of them twice, and TAB characters before two of them.
std::string openFilterText();

// A filter in the toolkit's form: "Name (*.a *.b)" per entry, entries joined by
// ";;". Patterns are the parts of each entry's list between ";", with the white
// space around them removed.
std::string toToolkitFilter(const std::string& filter);

// The Open dialog's last filter entry, which shows every file of a folder.
inline constexpr const char* kAllFilesFilterEntry = "All files (*)";

// The Open dialog's filter in the toolkit's form: the entry of openFilterText(),
// unchanged, then one entry for the documents this build reads, then
// kAllFilesFilterEntry.
std::string openDialogFilter();

// The message when the program starts on a folder rather than a file: the
// folder is shown, and the user still chooses the extension.
std::string folderChosenMessage(const std::filesystem::path& folder);

// "Reading documents... (3 / 10 files looked at)".
std::string readingDocumentsText(std::int64_t done, std::int64_t total);

// The status line after template files are chosen: "Template files (their
// text matches nothing): a.java, b.java", or that there are none.
std::string templatesStatusText(const std::vector<std::filesystem::path>& templates);
// The status line at the end of a scan with template files.
inline constexpr const char* kAllDoneWithTemplatesText =
    "All done, template text set aside. Click \"See Similarities\" below.";

// One message naming every file that could not be read, each with its reason.
std::string unreadableFilesMessage(const std::vector<UnreadableFile>& files);

// The message for a folder that could not be listed.
std::string folderErrorMessage(const std::filesystem::path& folder, std::error_code error);

}  // namespace orvalis
