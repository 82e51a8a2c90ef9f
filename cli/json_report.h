// The JSON document of one scan: the settings used, the files, the threshold,
// the results and which of them are listed. Keys come in a fixed order, so that
// two runs over the same files give byte-identical documents.
#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "analysis/file_pairs.h"
#include "analysis/result_listing.h"
#include "analysis/set_aside.h"
#include "analysis/significance.h"
#include "engine/records.h"

namespace orvalis::cli {

// Writes the document for `engine`'s last scan. `results` holds every result of
// the scan when allResults is set, otherwise only the listed ones, each with its
// E-value under `model`; `listed` is the listing in list order either way. The
// document has a "pairs" array when `pairs` is given; with `table` as well,
// each pair has its shares, longest match, significant matches and group from
// it, and a "groups" array follows. "listedBeforeCap" follows "listed" when the
// listing took more results (listedBeforeCap) than it lists. A "setAside"
// object (templates, the common-passage setting, words set aside per file)
// comes when `setAside` is given.
void writeJsonReport(std::ostream& out, const CompareEngine& engine, float threshold,
                     const std::vector<ListedResult>& listed, bool allResults,
                     const SignificanceModel& model, const std::vector<FilePair>* pairs,
                     const FilePairTable* table = nullptr, std::size_t listedBeforeCap = 0,
                     const SetAsideReport* setAside = nullptr);

// The text of an E-value in JSON: three significant digits, "1.23e-05", the
// same on every platform; null when it is not a number.
std::string jsonEvalue(double evalue);

}  // namespace orvalis::cli
