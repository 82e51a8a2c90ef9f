#include "cli/options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "engine/memory.h"

namespace orvalis::cli {
namespace {

// from_chars takes no leading '+'; a single one before a digit or '.' is allowed.
std::string_view withoutPlusSign(std::string_view text) {
  if (text.size() >= 2 && text[0] == '+' && text[1] != '+' && text[1] != '-') {
    text.remove_prefix(1);
  }
  return text;
}

// The option's name and, when it was written as "--name=value", its value.
struct SplitOption {
  std::string_view name;
  std::optional<std::string_view> value;
};

SplitOption splitOption(std::string_view argument) {
  const auto equals = argument.find('=');
  if (equals == std::string_view::npos) return {argument, std::nullopt};
  return {argument.substr(0, equals), argument.substr(equals + 1)};
}

std::string quoted(std::string_view text) { return std::string("'").append(text).append("'"); }

}  // namespace

std::filesystem::path pathFromArgument(std::string_view argument) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
#else
  return std::filesystem::path(std::string(argument));
#endif
}

std::optional<float> parseFiniteFloat(std::string_view text) {
  text = withoutPlusSign(text);
  if (text.empty()) return std::nullopt;
  // Through double, as the stored settings are converted, so "-0.33" gives the
  // same float here as in the settings store.
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  // Values beyond the float range are refused before narrowing, which the
  // language leaves undefined for them.
  if (!(std::fabs(value) <= std::numeric_limits<float>::max())) return std::nullopt;
  return static_cast<float>(value);
}

std::optional<double> parseNonNegativeNumber(std::string_view text) {
  text = withoutPlusSign(text);
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || value < 0.0) return std::nullopt;
  return value;
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
  text = withoutPlusSign(text);
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

ParseResult parseArguments(std::span<const std::string> args) {
  ParseResult result;
  ScanOptions& options = result.options;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view argument = args[i];
    if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
      options.files.push_back(pathFromArgument(args[i]));
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }

    // Named copies rather than a structured binding, which the lambdas below
    // could not capture with every compiler (clang before 16).
    const SplitOption split = splitOption(argument);
    const std::string_view name = split.name;
    const std::optional<std::string_view> inlineValue = split.value;
    // The option's value: after "=", or the next argument whatever it looks like,
    // so that negative numbers need no "=".
    const auto takeValue = [&]() -> std::optional<std::string_view> {
      if (inlineValue) return inlineValue;
      if (i + 1 < args.size()) return std::string_view(args[++i]);
      result.error = "option " + std::string(name) + " needs a value";
      return std::nullopt;
    };
    const auto noValue = [&]() {
      if (!inlineValue) return true;
      result.error = "option " + std::string(name) + " takes no value";
      return false;
    };

    if (name == "--help" || name == "-h") {
      if (!noValue()) return result;
      options.action = Action::kHelp;
      return result;
    }
    if (name == "--version") {
      if (!noValue()) return result;
      options.action = Action::kVersion;
      return result;
    }
    if (name == "--all" || name == "--json" || name == "--quiet") {
      if (!noValue()) return result;
      (name == "--all" ? options.showAll : name == "--json" ? options.json : options.quiet) = true;
      continue;
    }
    if (name == "--pairs") {
      if (!noValue()) return result;
      options.pairs = true;
      continue;
    }
    if (name == "--fast" || name == "--exhaustive") {
      if (!noValue()) return result;
      (name == "--fast" ? options.fast : options.exhaustive) = true;
      continue;
    }
    if (name == "--no-cache" || name == "--cache-clear") {
      if (!noValue()) return result;
      (name == "--no-cache" ? options.noCache : options.clearCache) = true;
      continue;
    }
    // The value converted by `convert`; otherwise an error that says what the
    // option needs.
    const auto takeConverted = [&](auto convert, const std::string& needs) {
      const auto text = takeValue();
      decltype(convert(std::string_view())) value;
      if (!text) return value;
      value = convert(*text);
      if (!value) {
        result.error = "option " + std::string(name) + " needs " + needs + ", not " + quoted(*text);
      }
      return value;
    };
    // A whole number from `low` to `high`.
    const auto takeWholeNumber = [&](std::int32_t low, std::int32_t high,
                                     const std::string& needs) {
      return takeConverted(
          [&](std::string_view text) -> std::optional<std::int32_t> {
            const auto value = parseInteger(text);
            if (value && *value >= low && *value <= high) return value;
            return std::nullopt;
          },
          needs);
    };
    if (name == "--max-evalue") {
      const auto value = takeConverted(parseNonNegativeNumber, "a number of 0 or more");
      if (!value) return result;
      options.maxEvalue = *value;
      continue;
    }
    if (name == "--mu" || name == "--delta") {
      const auto value = takeConverted(parseFiniteFloat, "a finite number");
      if (!value) return result;
      (name == "--mu" ? options.mismatchScore : options.gapScore) = *value;
      continue;
    }
    if (name == "--group-size") {
      const auto value = takeWholeNumber(2, std::numeric_limits<std::int32_t>::max(),
                                         "a whole number of 2 or more");
      if (!value) return result;
      options.groupSize = *value;
      continue;
    }
    if (name == "--jobs") {
      const auto value =
          takeWholeNumber(1, kMaxJobs, "a whole number from 1 to " + std::to_string(kMaxJobs));
      if (!value) return result;
      options.jobs = *value;
      continue;
    }
    if (name == "--max-memory") {
      const auto value = takeConverted(parseMemorySize, "a size such as 512M or 2G");
      if (!value) return result;
      options.maxMemory = *value;
      continue;
    }
    if (name == "--cache-max-size") {
      const auto value = takeConverted(parseMemorySize, "a size such as 512M or 2G");
      if (!value) return result;
      options.cacheMaxSize = *value;
      continue;
    }
    if (name == "--old" || name == "--cache") {
      const auto text = takeValue();
      if (!text) return result;
      if (text->empty()) {
        result.error = "option " + std::string(name) + " needs a path";
        return result;
      }
      if (name == "--old") {
        options.earlierWork.push_back(pathFromArgument(*text));
      } else {
        options.cacheFile = pathFromArgument(*text);
      }
      continue;
    }
    if (name == "--sort") {
      const auto value = takeConverted(
          [](std::string_view text) -> std::optional<PairOrder> {
            if (text == "share") return PairOrder::kShare;
            if (text == "evalue") return PairOrder::kEvalue;
            if (text == "name") return PairOrder::kName;
            return std::nullopt;
          },
          "share, evalue or name");
      if (!value) return result;
      options.pairOrder = *value;
      continue;
    }
    if (name == "--template") {
      const auto text = takeValue();
      if (!text) return result;
      if (text->empty()) {
        result.error = "option --template needs a file or folder name";
        return result;
      }
      options.templates.push_back(pathFromArgument(*text));
      continue;
    }
    if (name == "--max-files") {
      const auto value = takeWholeNumber(1, std::numeric_limits<std::int32_t>::max(),
                                         "a whole number of 1 or more");
      if (!value) return result;
      options.maxFiles = *value;
      continue;
    }
    if (name == "--html") {
      const auto text = takeValue();
      if (!text) return result;
      if (text->empty()) {
        result.error = "option --html needs a file name";
        return result;
      }
      options.htmlFile = pathFromArgument(*text);
      continue;
    }
    result.error = "unknown option " + quoted(name);
    return result;
  }

  if (options.fast && options.exhaustive) {
    result.error = "options --fast and --exhaustive cannot be used together";
  } else if (options.fast && !options.maxEvalue) {
    result.error =
        "option --fast needs --max-evalue: the listing above the mean plus one standard "
        "deviation of all scores needs every comparison, which only --exhaustive makes";
  } else if (options.fast && options.showAll) {
    result.error =
        "option --fast cannot be used with --all: listing every result needs every "
        "comparison, which only --exhaustive makes";
  } else if (options.noCache && (options.cacheFile || options.clearCache || options.cacheMaxSize)) {
    result.error =
        "option --no-cache cannot be used with --cache, --cache-clear or --cache-max-size";
  } else if (options.files.empty() && !options.clearCache) {
    result.error = "no file given";
  } else if (options.pairOrder && !options.pairs) {
    result.error = "option --sort orders the file pairs of --pairs";
  }
  return result;
}

std::string usageText() {
  return "usage: orvalis-scan [--all] [--json] [--html FILE] [--max-evalue E] [--pairs]\n"
         "                    [--sort share|evalue|name] [--fast | --exhaustive]\n"
         "                    [--mu X] [--delta X] [--group-size N] [--jobs N]\n"
         "                    [--max-memory SIZE] [--quiet] [--old PATH]...\n"
         "                    [--cache FILE | --no-cache] [--cache-max-size SIZE]\n"
         "                    [--cache-clear] [--template FILE|FOLDER]... [--max-files N]\n"
         "                    FILE [FILE...]\n"
         "Try 'orvalis-scan --help' for more information.\n";
}

std::string helpText() {
  return R"help(usage: orvalis-scan [OPTIONS] FILE [FILE...]

Finds copied text among files: compares every file with every other one, word
by word, and lists the matched stretches that score above the mean plus one
standard deviation of all scores, as the results window of Orvalis does.

  FILE            one file: compare every file of its folder that has the same
                  extension (the file itself need not exist, its folder must;
                  subfolders are not searched)
  FILE FILE...    two or more files: compare exactly these, in this order
  --old PATH      earlier work: a folder (its files with the extension of the
                  first FILE) or a file; may be given more than once. Every
                  file of earlier work is compared with every scanned file and
                  with no other file of earlier work; outputs mark it as old

Output (standard output):
  (default)       one line per listed result, "first & second (score)", or
                  "No suspicious files found."; at most 200 lines, with a note
                  on standard error when the listing holds more
  --all           list every result, as "Show all results" does (at most 200
                  lines; with --json, every result of the scan); with
                  --max-evalue, every result by E-value
  --json          one JSON document instead of the lines: settings, files,
                  threshold, the statistics of the E-values, results (each
                  with its E-value) and the listed comparison numbers (and
                  "listedBeforeCap" when the listing held more than 200)
  --html FILE     also write an HTML page of the listed results to FILE, with
                  a table of the file pairs and a map of files by files
  --max-evalue E  list instead the results whose E-value is at most E,
                  smallest E-value first, each line ending in " E=1.23e-05"
                  (at most 200 lines; with --json, all of them); 0.01 is a
                  good start. The E-value of a result is the number of matches
                  at least as strong that chance alone would give in this
                  scan: E = N * K * m * n * exp(-lambda * score), with N the
                  scan's comparisons, m and n the two word groups' lengths,
                  and lambda and K fitted to the scan's own scores (fixed
                  values measured on English text when the scan has too few
                  comparisons or the fit is implausible; passages that more
                  than a fifth of the files share left out of the fit; a note
                  on standard error says which)
  --pairs         one line per pair of files of the listed results instead of
                  one per result: both names, the best score and its E-value,
                  the number of results and the words they match, and the
                  share of each file's words that the pair's significant
                  matches cover ("34 % of a.txt, 12 % of b.txt"; a match is
                  significant when its E-value is at most --max-evalue, 0.01
                  when not given; each word counts once), smallest E-value
                  first; with --json, a "pairs" array with the shares, the
                  longest match and the group of each pair, and a "groups"
                  array of the files that such pairs link; with --html, the
                  report also shows the groups and each pair's two files with
                  all its matches marked
  --sort ORDER    with --pairs, order the pairs by "share" (the larger of the
                  two shares, largest first), "evalue" (smallest first) or
                  "name" (first file's name, then the second's)

Text that files share without copying:
  --template FILE|FOLDER
                  template text (starter code, a header, the question): every
                  stretch of a scanned file that aligns with it, in one piece
                  or in pieces of 8 or more words' score, edits included, can
                  match nothing; the files are still shown as they are. A
                  folder gives every file of the scanned extension in it.
                  Repeatable; template files are never compared themselves
  --max-files N   set aside every passage of 8 words in a row that more than N
                  of the scanned files share, as template text (off by default)
  The JSON document and the HTML report name the templates and the words set
  aside in each file.

Settings (read from the Orvalis settings store, which is never written; each
can be overridden for this run):
  --mu X          score of two different words (MU; default -0.33)
  --delta X       score of a word against a gap (DELTA; default -0.50)
  --group-size N  cut files into word groups of at most N-1 words; N is a
                  whole number, 2 or more (NUM_WORDS_PER_GROUPING; default 1000)

Running:
  --jobs N        compare on N threads, 1 to 1024 (default: one per hardware
                  thread); the results do not depend on N
  --fast          with --max-evalue: align only the word groups that share a
                  run of words with a group of another file, as a seed index
                  finds them, and a random sample of all comparisons; every
                  listed result is exactly what the full scan gives for it,
                  and E-values count every comparison and use statistics
                  fitted to the sample. Much faster on large folders; a weak
                  match without three words in a row may be missed. Not with
                  --all or the default listing, which need every comparison;
                  the results cache is not used
  --exhaustive    align every word group with every other (the default)
  --max-memory SIZE
                  use at most SIZE of memory, as 512M or 2G (K, M, G, T:
                  powers of 1024); default: what the system can give. A scan
                  that would need more says so before it starts comparing, and
                  a file too large for what is left is skipped with a warning
  --cache FILE    keep the results of compared file pairs in FILE (an SQLite
                  database) and take them from there when a rescan meets the
                  same two file contents with the same settings; default:
                  $XDG_CACHE_HOME/Tovimar/Orvalis/results.sqlite (XDG_CACHE_HOME
                  defaults to ~/.cache). The output is the same with or without
                  it; a cache that cannot be used is named in a warning
  --no-cache      neither read nor write a results cache
  --cache-max-size SIZE
                  keep the cache below SIZE (as 512M or 2G; default 1G): the
                  pairs used least recently go first
  --cache-clear   empty the cache before the scan
  --quiet         no progress bar; warnings and errors are still printed (the
                  progress bar is shown only when standard error is a terminal)
  --help, -h      print this help and exit
  --version       print the version and exit
  --              end of options: every later argument is a file
  Option values may also be written as --name=VALUE.

Exit status:
  0  success; files that could not be read are named on standard error and
     the scan goes on without them
  1  an error: fewer than two files to compare, a folder that cannot be listed,
     a report that cannot be written, a scan that could not run or finish
  2  a bad command line
)help";
}

}  // namespace orvalis::cli
