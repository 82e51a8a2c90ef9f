// A folder of generated texts with planted, slightly edited copies and the truth
// about them, and how well a scan's listing finds those copies.
//
//   make_planted_folder make FOLDER [--files N] [--words N] [--passages N]
//                                   [--seed N] [--corpus FOLDER]
//                                   [--header N] [--pieces N] [--edit-percent N]
//                                   [--degenerate N]
//   make_planted_folder score FOLDER REPORT.json
//
// make: writes f000.txt, f001.txt, ... of --words words each, from a word model
// of the English texts in --corpus (default /usr/share/common-licenses, which
// every Debian system has): each word follows the one before as in the corpus
// half of the time, and is drawn by its frequency otherwise, so the texts read
// like English word salad and share no long run of words by chance. Then each
// of --passages passages, 30 to 150 words of one file, is copied into one to
// three other files, each copy with about 3 % of its words edited (replaced,
// dropped, or preceded by an extra word). truth.tsv lists the passages and
// pairs.tsv the file pairs that share one: the source and its copies, and the
// copies among themselves. Same arguments, same folder. --edit-percent sets
// the edit rate of the copies (default 3); --degenerate N makes the first half
// of the first N files one word over and over ("the the the ...").
//
// --header N gives every file the same header of N words (template text, the
// original in header.tpl), each file's copy with about 3 % of its words
// edited; in one piece at the top, or with --pieces P cut into P pieces placed
// anywhere in the file. header.tsv lists each copy's byte span in its file.
//
// score: reads orvalis-scan's JSON document of a scan of FOLDER and prints, for
// the file pairs of its listed results, the recall (planted pairs listed) and
// the precision (listed pairs that share a planted passage or a run of 8
// identical words that is not header text). With a header, it also counts
// the listed results whose stretch in the first file is mostly header text,
// and prints the statistics of the scan.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;
using Pair = std::pair<int, int>;  // file numbers, higher first as in the scan

constexpr int kShortestPassage = 30;
constexpr int kLongestPassage = 150;
constexpr double kEditRate = 0.03;
constexpr double kFollowRate = 0.5;
constexpr int kSharedRun = 8;

Words splitWords(const std::string& text) {
  Words words;
  std::istringstream in(text);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string fileName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "f%03d.txt", number);
  return name;
}

// Word frequencies and successors of a corpus.
struct WordModel {
  Words tokens;  // every word of the corpus, so a uniform draw follows frequency
  std::unordered_map<std::string, std::vector<std::size_t>>
      next;  // where each word's successors stand

  explicit WordModel(const fs::path& corpus) {
    std::set<fs::path> files;  // by their real path: links to one licence count once
    for (const auto& entry : fs::directory_iterator(corpus)) {
      std::error_code error;
      if (entry.is_regular_file(error)) files.insert(fs::canonical(entry.path(), error));
    }
    for (const fs::path& file : files) {
      const Words words = splitWords(readFile(file));
      for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) next[words[i - 1]].push_back(tokens.size());
        tokens.push_back(words[i]);
      }
    }
  }

  template <typename Random>
  Words text(Random& random, int count) const {
    Words out;
    std::uniform_int_distribution<std::size_t> any(0, tokens.size() - 1);
    std::bernoulli_distribution follow(kFollowRate);
    while (static_cast<int>(out.size()) < count) {
      const auto found = out.empty() ? next.end() : next.find(out.back());
      if (found != next.end() && follow(random)) {
        const auto& places = found->second;
        out.push_back(tokens[places[std::uniform_int_distribution<std::size_t>(
            0, places.size() - 1)(random)]]);
      } else {
        out.push_back(tokens[any(random)]);
      }
    }
    return out;
  }
};

struct Options {
  int header = 0;
  int pieces = 1;
  int files = 200;
  int words = 2000;
  int passages = 160;
  unsigned seed = 13;
  double editRate = kEditRate;
  int degenerate = 0;
  fs::path corpus = "/usr/share/common-licenses";
};

int make(const fs::path& folder, const Options& options) {
  const WordModel model(options.corpus);
  if (model.tokens.size() < 1000) {
    std::cerr << "error: too few words in " << options.corpus << '\n';
    return 1;
  }
  std::mt19937_64 random(options.seed);
  std::vector<Words> texts;
  for (int f = 0; f < options.files; ++f) texts.push_back(model.text(random, options.words));
  for (int f = 0; f < std::min(options.degenerate, options.files); ++f) {
    std::fill(texts[f].begin(), texts[f].begin() + options.words / 2, std::string("the"));
  }

  // Stretches of each file taken by a passage or a copy, so that no copy
  // overwrites another passage.
  std::vector<std::vector<std::pair<int, int>>> taken(options.files);
  // Places are drawn until one is free. A folder too small for what it is
  // asked to hold would draw for ever, so the generator gives up instead.
  long refusedInARow = 0;
  const auto isFree = [&](int file, int start, int length) {
    for (const auto& [from, to] : taken[file]) {
      if (start < to + 5 && from < start + length + 5) {
        if (++refusedInARow > 10'000'000) {
          std::cerr << "make_planted_folder: no room left for the passages; ask for fewer "
                       "passages or header pieces, or for more or longer files\n";
          std::exit(1);
        }
        return false;
      }
    }
    refusedInARow = 0;
    return true;
  };
  std::uniform_int_distribution<int> anyFile(0, options.files - 1);
  std::uniform_int_distribution<int> anyLength(kShortestPassage, kLongestPassage);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<std::size_t> anyToken(0, model.tokens.size() - 1);

  // Which words of each file are header text; kept in step with the texts as
  // copies replace words.
  std::vector<std::vector<char>> isHeader(options.files);
  for (int f = 0; f < options.files; ++f) isHeader[f].assign(texts[f].size(), 0);
  const auto edited = [&](std::mt19937_64& draw, const Words& original, double rate) {
    Words copy;
    for (const std::string& word : original) {
      if (unit(draw) >= rate) {
        copy.push_back(word);
        continue;
      }
      const double kind = unit(draw);
      if (kind < 1.0 / 3) {
        copy.push_back(model.tokens[anyToken(draw)]);  // replaced
      } else if (kind >= 2.0 / 3) {
        copy.push_back(model.tokens[anyToken(draw)]);  // an extra word first
        copy.push_back(word);
      }  // else dropped
    }
    return copy;
  };
  const auto place = [&](int file, int at, int length, const Words& copy, char header) {
    Words& text = texts[file];
    at = std::min(at, static_cast<int>(text.size()));
    length = std::min(length, static_cast<int>(text.size()) - at);
    text.erase(text.begin() + at, text.begin() + at + length);
    text.insert(text.begin() + at, copy.begin(), copy.end());
    std::vector<char>& marks = isHeader[file];
    marks.erase(marks.begin() + at, marks.begin() + at + length);
    marks.insert(marks.begin() + at, copy.size(), header);
    taken[file].emplace_back(at, at + static_cast<int>(copy.size()));
  };
  if (options.header > 0) {
    // A stream of its own, so that the texts and passages of a folder with a
    // header are those of the same folder without one, as far as the header's
    // place allows.
    std::mt19937_64 headerRandom(options.seed + 0x5EEDu);
    const Words header = model.text(headerRandom, options.header);
    std::ofstream(folder / "header.tpl") << [&] {
      std::string text;
      for (const std::string& word : header) text += word + ' ';
      return text + '\n';
    }();
    const int pieces = std::clamp(options.pieces, 1, options.header);
    for (int f = 0; f < options.files; ++f) {
      for (int p = 0; p < pieces; ++p) {
        const Words piece(header.begin() + p * options.header / pieces,
                          header.begin() + (p + 1) * options.header / pieces);
        const int length = static_cast<int>(piece.size());
        int at = 0;
        if (pieces > 1) {
          do {
            at = std::uniform_int_distribution<int>(0, options.words - length - 10)(headerRandom);
          } while (!isFree(f, at, length));
        }
        place(f, at, length, edited(headerRandom, piece, kEditRate), 1);
      }
    }
  }

  std::ofstream truth(folder / "truth.tsv");
  truth << "passage\tsource\tstart\twords\tcopies\n";
  std::set<Pair> pairs;
  for (int p = 0; p < options.passages; ++p) {
    const int length = anyLength(random);
    int source = 0, start = 0;
    do {
      source = anyFile(random);
      start = std::uniform_int_distribution<int>(0, options.words - length)(random);
    } while (!isFree(source, start, length));
    taken[source].emplace_back(start, start + length);
    // Copies change the length of a text by a few words: a passage or a copy
    // drawn at the very end is cut at the text's end.
    const Words passage(
        texts[source].begin() + start,
        texts[source].begin() + std::min<std::size_t>(start + length, texts[source].size()));

    const double draw = unit(random);
    const int copies = draw < 0.7 ? 1 : draw < 0.9 ? 2 : 3;
    std::vector<int> holders{source};
    for (int c = 0; c < copies; ++c) {
      int target = 0, at = 0;
      do {
        target = anyFile(random);
        at = std::uniform_int_distribution<int>(0, options.words - length)(random);
      } while (std::find(holders.begin(), holders.end(), target) != holders.end() ||
               !isFree(target, at, length));
      place(target, at, length, edited(random, passage, options.editRate), 0);
      holders.push_back(target);
    }
    truth << p << '\t' << fileName(source) << '\t' << start << '\t' << length << '\t';
    for (std::size_t h = 1; h < holders.size(); ++h) {
      truth << (h > 1 ? "," : "") << fileName(holders[h]);
    }
    truth << '\n';
    for (std::size_t a = 0; a < holders.size(); ++a) {
      for (std::size_t b = a + 1; b < holders.size(); ++b) {
        pairs.insert({std::max(holders[a], holders[b]), std::min(holders[a], holders[b])});
      }
    }
  }

  std::ofstream headerSpans;
  if (options.header > 0) headerSpans.open(folder / "header.tsv");
  for (int f = 0; f < options.files; ++f) {
    std::ofstream out(folder / fileName(f), std::ios::binary);
    // Lines of 12 words, as prose in a text file.
    std::size_t offset = 0, spanStart = 0;
    for (std::size_t w = 0; w < texts[f].size(); ++w) {
      const bool header = isHeader[f][w] != 0;
      if (header && (w == 0 || !isHeader[f][w - 1])) spanStart = offset;
      out << texts[f][w] << ((w % 12 == 11 || w + 1 == texts[f].size()) ? '\n' : ' ');
      offset += texts[f][w].size();
      if (header && (w + 1 == texts[f].size() || !isHeader[f][w + 1])) {
        headerSpans << fileName(f) << '\t' << spanStart << '\t' << offset << '\n';
      }
      offset += 1;
    }
  }
  std::ofstream pairList(folder / "pairs.tsv");
  for (const auto& [a, b] : pairs) pairList << fileName(a) << '\t' << fileName(b) << '\n';
  std::cout << "wrote " << options.files << " files of " << options.words << " words with "
            << options.passages << " planted passages; " << pairs.size()
            << " file pairs share one\n";
  return 0;
}

// Whether two files share a run of kSharedRun identical words.
class SharedRuns {
 public:
  // Runs of the header, when the folder has one, are not counted: every file
  // has them.
  explicit SharedRuns(fs::path folder) : folder_(std::move(folder)) {
    const Words header = splitWords(readFile(folder_ / "header.tpl"));
    for (std::size_t i = 0; i + kSharedRun <= header.size(); ++i) header_.insert(key(header, i));
  }

  bool share(const std::string& a, const std::string& b) {
    const auto& runsA = runs(a);
    const Words words = splitWords(readFile(folder_ / b));
    for (std::size_t i = 0; i + kSharedRun <= words.size(); ++i) {
      const std::string run = key(words, i);
      if (runsA.count(run) != 0 && header_.count(run) == 0) return true;
    }
    return false;
  }

 private:
  static std::string key(const Words& words, std::size_t at) {
    std::string text;
    for (int k = 0; k < kSharedRun; ++k) text += words[at + k] + ' ';
    return text;
  }
  const std::unordered_set<std::string>& runs(const std::string& name) {
    auto found = cache_.find(name);
    if (found != cache_.end()) return found->second;
    std::unordered_set<std::string>& set = cache_[name];
    const Words words = splitWords(readFile(folder_ / name));
    for (std::size_t i = 0; i + kSharedRun <= words.size(); ++i) set.insert(key(words, i));
    return set;
  }
  fs::path folder_;
  std::unordered_set<std::string> header_;
  std::unordered_map<std::string, std::unordered_set<std::string>> cache_;
};

int score(const fs::path& folder, const fs::path& report) {
  std::set<std::pair<std::string, std::string>> truth;
  {
    std::ifstream in(folder / "pairs.tsv");
    std::string a, b;
    while (in >> a >> b) truth.insert({a, b});
  }
  if (truth.empty()) {
    std::cerr << "error: no pairs.tsv in " << folder << '\n';
    return 1;
  }
  // The document's lines: one per file and per result, then the listed keys.
  std::ifstream in(report);
  if (!in) {
    std::cerr << "error: cannot read " << report << '\n';
    return 1;
  }
  const std::regex fileLine(
      R"re(^\s*\{"index": (\d+), "path": ".*", "displayName": "([^"]*)"\})re");
  const std::regex resultLine(
      R"re(^\s*\{"comparison": (-?\d+), "indexA": (-?\d+), "indexB": (-?\d+), "startA": (-?\d+), "endA": (-?\d+),)re");
  std::map<int, std::string> names;
  std::map<long, Pair> resultPairs;
  std::map<long, std::pair<long, long>> resultSpans;  // in the first file
  std::vector<long> listed;
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (line.starts_with("  \"listed\": [")) {
      std::istringstream keys(line.substr(line.find('[') + 1));
      long key = 0;
      char comma = 0;
      while (keys >> key) {
        listed.push_back(key);
        keys >> comma;
      }
    } else if (line.find("{\"comparison\": ") != std::string::npos &&
               std::regex_search(line, match, resultLine)) {
      resultPairs[std::stol(match[1])] = {std::stoi(match[2]), std::stoi(match[3])};
      resultSpans[std::stol(match[1])] = {std::stol(match[4]), std::stol(match[5])};
    } else if (std::regex_search(line, match, fileLine)) {
      names[std::stoi(match[1])] = match[2];
    }
  }
  std::set<std::pair<std::string, std::string>> found;
  for (const long key : listed) {
    const auto pair = resultPairs.find(key);
    if (pair == resultPairs.end()) continue;
    std::string a = names[pair->second.first], b = names[pair->second.second];
    if (a < b) std::swap(a, b);
    found.insert({a, b});
  }
  // Byte spans of header text in each file.
  std::map<std::string, std::vector<std::pair<long, long>>> headerSpans;
  {
    std::ifstream spans(folder / "header.tsv");
    std::string name;
    long from = 0, to = 0;
    while (spans >> name >> from >> to) headerSpans[name].emplace_back(from, to);
  }
  std::size_t mostlyHeader = 0;
  for (const long key : listed) {
    const auto pair = resultPairs.find(key);
    if (pair == resultPairs.end() || headerSpans.empty()) continue;
    const auto [from, to] = resultSpans[key];
    long inHeader = 0;
    for (const auto& [start, end] : headerSpans[names[pair->second.first]]) {
      inHeader += std::max(0L, std::min(to, end) - std::max(from, start));
    }
    if (2 * inHeader > to - from) ++mostlyHeader;
  }

  SharedRuns shared(folder);
  std::size_t planted = 0, sharing = 0;
  for (const auto& [a, b] : found) {
    if (truth.count({a, b}) != 0) {
      ++planted;
      ++sharing;
    } else if (shared.share(a, b)) {
      ++sharing;
    }
  }
  const auto percent = [](std::size_t part, std::size_t whole) {
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
  };
  std::printf(
      "%zu results listed in %zu file pairs: recall %.1f %% (%zu of %zu planted pairs), "
      "precision %.1f %% (%zu pairs share text)\n",
      listed.size(), found.size(), percent(planted, truth.size()), planted, truth.size(),
      percent(sharing, found.size()), sharing);
  if (!headerSpans.empty()) {
    std::printf("%zu listed results are mostly header text\n", mostlyHeader);
  }
  return 0;
}

int usage() {
  std::cerr
      << "usage: make_planted_folder make FOLDER [--files N] [--words N] [--passages N]\n"
         "                                      [--seed N] [--corpus FOLDER]\n"
         "                                      [--header N] [--pieces N] [--edit-percent N]\n"
         "                                      [--degenerate N]\n"
         "       make_planted_folder score FOLDER REPORT.json\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "score") return score(args[1], args[2]);
  if (args.size() < 2 || args[0] != "make") return usage();
  Options options;
  for (std::size_t i = 2; i + 1 < args.size(); i += 2) {
    const std::string& name = args[i];
    const std::string& value = args[i + 1];
    if (name == "--corpus") {
      options.corpus = value;
    } else if (name == "--edit-percent" || name == "--degenerate") {
      const long number = std::stol(value);
      if (number < 0 || number > 100000) return usage();
      if (name == "--edit-percent") options.editRate = static_cast<double>(number) / 100.0;
      if (name == "--degenerate") options.degenerate = static_cast<int>(number);
    } else if (name == "--files" || name == "--words" || name == "--passages" || name == "--seed" ||
               name == "--header" || name == "--pieces") {
      const long number = std::stol(value);
      if (number < 1) return usage();
      const int whole = static_cast<int>(std::min(number, 1000000L));
      if (name == "--files") options.files = whole;
      if (name == "--words") options.words = whole;
      if (name == "--passages") options.passages = whole;
      if (name == "--seed") options.seed = static_cast<unsigned>(whole);
      if (name == "--header") options.header = whole;
      if (name == "--pieces") options.pieces = whole;
    } else {
      return usage();
    }
  }
  if (args.size() % 2 != 0 || options.files < 4 || options.words < 2 * kLongestPassage) {
    return usage();
  }
  const fs::path folder = args[1];
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    std::cerr << "error: cannot create " << folder << ": " << error.message() << '\n';
    return 1;
  }
  return make(folder, options);
}
