// The fixed texts of the results window, and its two messages about files.
#pragma once

#include <filesystem>
#include <string>

#include "analysis/listing_cap.h"

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
// The strongest-first box's tip after a fast scan, which keeps it ticked.
inline constexpr const char* kFastScanResultsTip =
    "A fast scan lists its results by E-value only: the listing above the mean of all scores "
    "needs every comparison.";
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

// What a consensus line shows, for its tooltip and "What's This".
inline constexpr const char* kConsensusTip =
    "Consensus: this file's side of the match, word by word, lined up with the other file's "
    "side shown under the other view. A * marks a gap: the other file has a word here that "
    "this one lacks. Where the two lines show different words at the same place, one file "
    "changed a word. Click the line or reach it with Tab, then use the arrow keys, Home and "
    "End to read all of it.";
// What a line of the result list means, for the list's tooltip and "What's This".
inline constexpr const char* kScoreTip =
    "Each line names two files and the score of the best stretch they share: +1 for each pair "
    "of equal words lined up, MU (-0.33 by default) for a changed word and DELTA (-0.50) for a "
    "word only one file has. Listed are the results that score above the mean plus one "
    "standard deviation of all scores, in the order of the scan. With \"Strongest first\", "
    "E= is the number of matches at least this strong that chance alone would give in this "
    "scan: the smaller, the less likely by chance.";

// The listing rule of the window's list, by its two boxes.
ListingRule windowListingRule(bool showAll, bool strongestFirst);

// The line under the list when it leaves results out: "200 of 701 results above
// the threshold shown, in scan order." and what to do to see the others. Empty
// when nothing is left out.
std::string cappedListLine(const ListingCount& count, ListingRule rule);

// The window's status line after a report was written to `path`.
std::string reportSavedText(const std::filesystem::path& path);

// One of the messages above, with the path it is about on a line of its own.
std::string fileMessage(const char* message, const std::filesystem::path& path);

// The message for a report that could not be written, with the reason.
std::string reportNotWrittenMessage(const std::filesystem::path& path, const std::string& reason);

}  // namespace orvalis
