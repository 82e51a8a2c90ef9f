// The JSON document of one scan: the settings used, the files, the threshold,
// the results and which of them are listed. Keys come in a fixed order, so that
// two runs over the same files give byte-identical documents.
#pragma once

#include <ostream>
#include <vector>

#include "engine/records.h"
#include "ui/results/result_listing.h"

namespace orvalis::cli {

// Writes the document for `engine`'s last scan. `results` holds every result of
// the scan when allResults is set, otherwise only the listed ones; `listed` is
// the listing in list order either way.
void writeJsonReport(std::ostream& out, const CompareEngine& engine, float threshold,
                     const std::vector<ListedResult>& listed, bool allResults);

}  // namespace orvalis::cli
