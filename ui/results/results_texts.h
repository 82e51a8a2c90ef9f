// The fixed texts of the results window, and its two messages about files.
#pragma once

#include <filesystem>
#include <string>

namespace orvalis {

inline constexpr const char* kResultsCaption = "Results";
inline constexpr const char* kComparisonsCaption = "Comparisons (score)";
inline constexpr const char* kShowAllCaption = "Show all results";
inline constexpr const char* kStrongestFirstCaption = "Strongest first";
// The group box's caption while the strongest results are listed, with their E-values.
inline constexpr const char* kComparisonsEvalueCaption = "Comparisons (score, E-value)";
inline constexpr const char* kComparisonsFixedEvalueCaption =
    "Comparisons (score, E-value from fixed values: too few comparisons to fit)";
inline constexpr const char* kStrongestFirstTip =
    "List the results of E-value 0.01 or less, smallest first: the number of matches at least "
    "as strong that chance alone gives in this scan.";
inline constexpr const char* kConsensusCaption = "Consensus:";
inline constexpr const char* kSelectHint = "Select from the results in the drop down box above.";
inline constexpr const char* kSaveReportEntry = "Save Report...";
inline constexpr const char* kReportFilter = "HTML pages (*.html *.htm);;All files (*)";
inline constexpr const char* kReportFileName = "orvalis-report.html";

// A view's file is missing, cannot be examined, or is a folder.
inline constexpr const char* kInvalidFileNameMessage = "Invalid filename.";
// A view's file exists but cannot be opened for reading as a regular file.
inline constexpr const char* kFailedToOpenMessage = "Failed to open document.";

// A view's file differs from the one the scan read: its marks may be off.
inline constexpr const char* kChangedSinceScanMessage =
    "This file has changed since the scan. The marked words may no longer be the ones that "
    "matched.";

// One of the messages above, with the path it is about on a line of its own.
std::string fileMessage(const char* message, const std::filesystem::path& path);

// The message for a report that could not be written, with the reason.
std::string reportNotWrittenMessage(const std::filesystem::path& path, const std::string& reason);

}  // namespace orvalis
