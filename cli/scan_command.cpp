#include "cli/scan_command.h"

#include <algorithm>
#include <exception>
#include <map>
#include <new>
#include <optional>
#include <thread>

#include "analysis/fast_scan.h"
#include "analysis/set_aside.h"
#include "analysis/shared_text_statistics.h"
#include "cache/results_cache.h"
#include "cli/capped_listing.h"
#include "cli/console_scan_target.h"
#include "cli/json_report.h"
#include "discovery/earlier_work.h"
#include "discovery/file_discovery.h"
#include "discovery/template_files.h"
#include "documents/document_source.h"
#include "engine/encoding.h"
#include "engine/scan.h"
#include "engine/text.h"
#include "report/html_report.h"

namespace orvalis::cli {
namespace {

// Writes the HTML page to `file`; returns the exit status.
int writeHtmlFile(const std::filesystem::path& file, const CompareEngine& engine,
                  const std::vector<ListedResult>& listed, float threshold,
                  const SignificanceModel& model, const FilePairTable* table,
                  const SetAsideReport* setAside, std::ostream& err) {
  const std::string failure =
      writeHtmlReportFile(file, engine.pairResults, listed, threshold, model, table, setAside);
  if (failure.empty()) return kExitSuccess;
  err << "error: cannot write " << lineText(file) << ": " << failure << '\n';
  return kExitError;
}

void printCacheWarnings(std::vector<std::string> warnings, std::ostream& err) {
  for (const std::string& warning : warnings) err << "warning: " << warning << '\n';
}

// The results cache of a run: none with --no-cache; in a build without one, a
// warning only when a cache option asked for it.
std::unique_ptr<ResultsCache> openRunCache(const ScanOptions& options, std::ostream& err) {
  if (options.noCache) return nullptr;
  if (!resultsCacheAvailable()) {
    if (options.cacheFile || options.clearCache || options.cacheMaxSize) {
      err << "warning: " << kCacheUnavailableMessage << '\n';
    }
    return nullptr;
  }
  CacheOptions cacheOptions;
  cacheOptions.file = options.cacheFile.value_or(defaultCacheFile());
  cacheOptions.maxSize = options.cacheMaxSize.value_or(kDefaultCacheMaxSize);
  cacheOptions.clear = options.clearCache;
  std::vector<std::string> warnings;
  auto cache = ResultsCache::open(cacheOptions, warnings);
  printCacheWarnings(std::move(warnings), err);
  return cache;
}

}  // namespace

int defaultJobs() {
  const unsigned threads = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(std::min<unsigned>(threads, kMaxJobs)), 1, kMaxJobs);
}

void loadRunSettings(SettingsStore& store, const ScanOptions& options, CompareEngine& engine,
                     std::ostream& err) {
  if (store.keyExists() && !loadScanSettings(store, engine)) {
    err << "warning: " << kSettingsMissingMessage << '\n';
  }
  if (options.mismatchScore) engine.mismatchScore = *options.mismatchScore;
  if (options.gapScore) engine.gapScore = *options.gapScore;
  if (options.groupSize) engine.groupSize = *options.groupSize;
  // After the overrides, so that a usable --group-size silences the warning
  // about an unusable stored one.
  if (replaceUnusableGroupSize(engine)) err << "warning: " << kGroupSizeTooSmallMessage << '\n';
}

FileSelection chooseScanFiles(const ScanOptions& options) {
  FileSelection selection;
  if (options.files.size() >= 2) {
    selection.files = options.files;
    return selection;
  }
  if (options.files.empty()) {
    selection.message = "error: no file given";
    selection.status = kExitUsage;
    return selection;
  }
  Discovery discovery = discoverFiles(options.files.front());
  if (discovery.error) {
    const auto folder = discovery.folder.empty() ? std::filesystem::path(".") : discovery.folder;
    selection.message = "error: cannot list " + lineText(folder) + ": " + discovery.error.message();
    selection.status = kExitError;
    return selection;
  }
  for (const SkippedEntry& entry : discovery.skipped) {
    selection.warnings.push_back("warning: skipping " + lineText(entry.path) + ": " + entry.reason);
  }
  selection.message = discoveryMessage(discovery.files.size());
  // One file of the folder is enough when earlier work is compared with it.
  if (discovery.files.size() == 1 && !options.earlierWork.empty()) selection.message.clear();
  if (!selection.message.empty()) {
    selection.status = kExitError;
    return selection;
  }
  selection.files = std::move(discovery.files);
  return selection;
}

void writeResultLines(std::ostream& out, const std::vector<ListedResult>& listed) {
  if (listed.empty()) {
    out << kNoSuspiciousFilesLine << '\n';
    return;
  }
  // The threshold's listing is capped already; one by E-value is not.
  const std::size_t shown = std::min(listed.size(), static_cast<std::size_t>(kMaxListedResults));
  for (std::size_t i = 0; i < shown; ++i) out << listed[i].text << '\n';
}

void writePairLines(std::ostream& out, const std::vector<FilePair>& pairs,
                    const FilePairTable& table) {
  if (pairs.empty()) {
    out << kNoSuspiciousFilesLine << '\n';
    return;
  }
  for (const FilePair& pair : pairs) {
    out << pairLineText(pair);
    if (const auto at = table.find(pair.fileA->index, pair.fileB->index)) {
      out << ", " << pairSharesText(table.pairs[*at]);
    }
    out << '\n';
  }
}

void orderFilePairs(std::vector<FilePair>& pairs, const FilePairTable& table, PairOrder order) {
  std::vector<std::size_t> rows;
  std::map<std::size_t, FilePair> byRow;
  for (const FilePair& pair : pairs) {
    const auto at = table.find(pair.fileA->index, pair.fileB->index);
    if (!at) return;  // not a pair of the table: keep the order as it is
    rows.push_back(*at);
    byRow.emplace(*at, pair);
  }
  const PairColumn column = order == PairOrder::kShare    ? PairColumn::kShare
                            : order == PairOrder::kEvalue ? PairColumn::kEvalue
                                                          : PairColumn::kFileA;
  const auto ordered = orderPairs(table, rows, column, order == PairOrder::kShare);
  for (std::size_t i = 0; i < ordered.size(); ++i) pairs[i] = byRow.at(ordered[i]);
}

int runScan(const ScanOptions& options, SettingsStore& store, std::ostream& out, std::ostream& err,
            bool showProgress, const ScanStartHook& startHook, RunRecords records) {
  if (options.files.empty() && options.clearCache) {
    openRunCache(options, err);  // emptied on opening
    return kExitSuccess;
  }
  // Declared before the engine, so that no worker can outlive its target, its
  // cache or the text source it reads documents through.
  ConsoleScanTarget target(err, showProgress);
  std::unique_ptr<ResultsCache> cache;
  const documents::DocumentTextSource documentSource;
  auto ownEngine = std::make_unique<CompareEngine>();
  CompareEngine& engine = *ownEngine;
  engine.textSource = &documentSource;
  loadRunSettings(store, options, engine, err);

  FileSelection selection = chooseScanFiles(options);
  for (const std::string& warning : selection.warnings) err << warning << '\n';
  if (selection.status != kExitSuccess) {
    err << selection.message << '\n';
    return selection.status;
  }
  std::vector<std::filesystem::path> earlierFiles;
  if (!options.earlierWork.empty()) {
    EarlierWork earlier =
        findEarlierWork(options.earlierWork, extensionOf(options.files.front()), selection.files);
    for (const SkippedEntry& entry : earlier.skipped) {
      err << "warning: skipping " << lineText(entry.path) << ": " << entry.reason << '\n';
    }
    if (!earlier.error.empty()) {
      err << "error: cannot use the earlier work " << earlier.error << '\n';
      return kExitError;
    }
    earlierFiles = std::move(earlier.files);
    if (selection.files.size() + earlierFiles.size() < 2) {
      err << kOnlyOneFileMessage << '\n';
      return kExitError;
    }
  }
  FastScan fast;
  if (options.fast) {
    chooseFastComparisons(engine, fast);
  } else {
    cache = openRunCache(options, err);
    engine.resultCache = cache.get();
  }

  // Templates are read before the scan starts, and never compared themselves.
  TemplateSet templates;
  SetAsideReport setAside;
  if (!options.templates.empty()) {
    const TemplateFiles found =
        findTemplateFiles(options.templates, extensionOf(options.files.front()));
    if (!found.error.empty()) {
      err << "error: " << found.error << '\n';
      return kExitError;
    }
    if (found.files.empty()) {
      err << "error: no template file found\n";
      return kExitError;
    }
    selection.files = withoutTemplates(std::move(selection.files), found.files);
    if (const std::string message = discoveryMessage(selection.files.size()); !message.empty()) {
      err << "error: " << message << '\n';
      return kExitError;
    }
    if (const std::string failure =
            loadTemplates(found.files, effectiveGroupSize(engine.groupSize), templates);
        !failure.empty()) {
      err << "error: cannot read template " << failure << '\n';
      return kExitError;
    }
    setAside.templates = found.files;
  }
  setAside.maxFiles = options.maxFiles.value_or(0);
  if (setAside.active()) {
    engine.beforeComparing = [&](CompareEngine& scanned) {
      setAsideSharedText(scanned, templates, setAside);
    };
  }

  engine.comparisonPause = std::chrono::milliseconds(0);
  engine.comparisonThreads = options.jobs.value_or(defaultJobs());
  engine.memoryLimit = options.maxMemory.value_or(0);
  std::function<KeptApartResults(CompareEngine&)> collect;
  if (startHook) {
    ScanStartHookResult hooked =
        startHook(engine, engine.resultCache, selection.files, earlierFiles);
    if (!hooked.error.empty()) {
      err << "error: " << hooked.error << '\n';
      return kExitError;
    }
    engine.resultCache = hooked.cache;
    collect = std::move(hooked.collect);
  }

  target.begin();
  engine.running = true;
  if (!engine.startScan(&target, std::move(selection.files), std::move(earlierFiles))) {
    target.finish();
    err << "error: " << kThreadStartFailedMessage << '\n';
    return kExitError;
  }
  engine.waitForWorker();
  target.finish();
  if (cache) printCacheWarnings(cache->takeWarnings(), err);
  if (const auto failure = target.failure()) {
    err << "error: " << *failure << '\n';
    return kExitError;
  }

  const std::optional<KeptApartResults> apart =
      collect ? std::optional(collect(engine)) : std::nullopt;
  const float threshold = apart ? apart->threshold : computeThreshold(engine.pairResults);
  const SignificanceModel model = apart ? apart->model
                                  : options.fast
                                      ? fastScanSignificance(engine, fast)
                                      : significanceOfScan(engine, engine.comparisonThreads);
  if (options.fast) err << "note: " << fastScanNote(engine, fast) << '\n';
  auto listed = options.maxEvalue
                    ? listByEvalue(engine.pairResults, model, *options.maxEvalue, options.showAll)
                    : listResults(engine.pairResults, threshold, options.showAll,
                                  apart ? apart->results : engine.pairResults.size());
  setEvalues(listed, model);
  std::vector<FilePair> pairs;
  FilePairTable table;
  if (options.pairs) {
    pairs = aggregatePairs(listed);
    table = buildFilePairs(filesOf(engine.fileTable), engine.pairResults, model,
                           options.maxEvalue.value_or(kPairMaxEvalue));
    if (apart) apart->completePairs(table);
    if (options.pairOrder) orderFilePairs(pairs, table, *options.pairOrder);
  }
  // Wherever E-values are shown, say when they rest on the fixed values or on
  // a fit without widely shared text.
  if (const std::string note = model.noteText();
      !note.empty() && !options.json && (options.maxEvalue || options.pairs)) {
    err << "note: " << note << '\n';
  }
  ListingCount count = runListingCount(options, engine.pairResults, threshold, listed);
  if (apart && !options.maxEvalue) count.total = apart->aboveThreshold;
  if (options.json) {
    writeJsonReport(out, engine, threshold, listed, options.showAll, model,
                    options.pairs ? &pairs : nullptr, options.pairs ? &table : nullptr, count.total,
                    setAside.active() ? &setAside : nullptr);
  } else if (options.pairs) {
    writePairLines(out, pairs, table);
  } else {
    writeResultLines(out, listed);
  }
  out.flush();
  // The document carries the count itself.
  if (const std::string note = cappedListingNote(options, count); !note.empty() && !options.json) {
    err << note << '\n';
  }
  int status = kExitSuccess;
  if (!out) {
    err << "error: cannot write the standard output\n";
    status = kExitError;
  }
  if (options.htmlFile &&
      writeHtmlFile(*options.htmlFile, engine, listed, threshold, model,
                    options.pairs ? &table : nullptr, setAside.active() ? &setAside : nullptr,
                    err) != kExitSuccess) {
    status = kExitError;
  }
  if (records == RunRecords::kLeftToProcessEnd) {
    static auto* const left = new std::vector<std::unique_ptr<CompareEngine>>();
    left->push_back(std::move(ownEngine));
  }
  return status;
}

int runScanCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   bool stderrIsTerminal, const ScanStartHook& startHook, RunRecords records) {
  const ParseResult parsed = parseArguments(args);
  if (!parsed.ok()) {
    err << kProgramName << ": " << parsed.error << '\n' << usageText();
    return kExitUsage;
  }
  const ScanOptions& options = parsed.options;
  switch (options.action) {
    case Action::kHelp:
      out << helpText();
      return kExitSuccess;
    case Action::kVersion:
      out << kVersionText << '\n';
      return kExitSuccess;
    case Action::kScan:
      break;
  }
  try {
    const auto store = openSystemSettingsStore();
    return runScan(options, *store, out, err, stderrIsTerminal && !options.quiet, startHook,
                   records);
  } catch (const std::bad_alloc&) {
    err << "error: not enough memory\n";
  } catch (const std::exception& failure) {
    err << "error: " << failure.what() << '\n';
  }
  return kExitError;
}

}  // namespace orvalis::cli
