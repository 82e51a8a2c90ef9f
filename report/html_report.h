// A self-contained HTML page of listed results: a map of files by files coloured
// by each pair's best E-value, a table of the file pairs of the listed results
// ranked by E-value, the list, each result with its score, E-value and
// consensus strings, and the text of every file that a listed result shows,
// once, with the matched stretch of every listed result marked in it.
// Written by orvalis-scan's --html and by the results window alike.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/file_pairs.h"
#include "analysis/result_listing.h"
#include "analysis/set_aside.h"
#include "analysis/significance.h"

namespace orvalis {

// Writes the page for `listed` (results of `results`, the scan's whole map) to
// `out`: one UTF-8 page with no external resource. Each file is read again from
// its path, once, in text mode, so that offsets count as the scan counted them;
// the text is cut at the stretches' byte offsets before it is decoded, and
// offsets beyond a file changed since the scan are moved into its text. A file
// that cannot be read is shown as such. E-values come from `model`, the scan's
// statistics. The table of file pairs shows the share of each file that the
// pair's significant matches cover, from `filePairs` when given (otherwise
// from matches of E-value kPairMaxEvalue or less), and sorts by a click on a
// column's header. With `filePairs`, the page also lists the groups of files
// and shows, for each pair with a significant match, both files once with
// every such match marked in a tint of its own. With `setAside`, the page says
// what was set aside as template text and how many words of each file. The
// caller checks `out` for write errors.
void writeHtmlReport(std::ostream& out, const ResultTable& results,
                     const std::vector<ListedResult>& listed, float threshold,
                     const SignificanceModel& model, const FilePairTable* filePairs = nullptr,
                     const SetAsideReport* setAside = nullptr);

// Writes the page to `file`, replacing it. Returns why it could not, empty when
// the whole page was written.
std::string writeHtmlReportFile(const std::filesystem::path& file, const ResultTable& results,
                                const std::vector<ListedResult>& listed, float threshold,
                                const SignificanceModel& model,
                                const FilePairTable* filePairs = nullptr,
                                const SetAsideReport* setAside = nullptr);

// The colour band of the heat map that an E-value falls in: 0 for E ≥ 1
// (what chance gives), up to kHeatBands - 1 for the smallest E-values.
inline constexpr int kHeatBands = 7;
int heatBand(double evalue);

}  // namespace orvalis
