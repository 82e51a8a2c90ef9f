// A self-contained HTML page of listed results: for each, the two files' texts
// side by side with the matched stretches highlighted, and the consensus strings.
#pragma once

#include <ostream>
#include <vector>

#include "engine/records.h"
#include "ui/results/result_listing.h"

namespace orvalis {

// Writes the page for `listed` (results of `engine`'s last scan) to `out`: one
// UTF-8 page with no external resource. Each file is read again from its path,
// once per report, in text mode, so that offsets count as the scan counted them;
// the matched stretch is cut from the bytes before they are decoded, and offsets
// beyond a file changed since the scan are moved into its text. A file that
// cannot be read is shown as such. The caller checks `out` for write errors.
void writeHtmlReport(std::ostream& out, const CompareEngine& engine,
                     const std::vector<ListedResult>& listed, float threshold);

}  // namespace orvalis
