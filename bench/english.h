// English text for the benchmarks: the license texts that every Debian machine
// has, and text generated from their word pairs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvalis::bench {

// The folder of license texts, and the texts the benchmarks take from it.
inline const std::filesystem::path kLicenseFolder = "/usr/share/common-licenses";

// The words of one license text, split at blanks and line feeds; empty when it
// cannot be read.
std::vector<std::string> licenseWords(const std::string& name);

// The words of every license text (links to others left out), in name order.
std::vector<std::string> allLicenseWords();

// Words joined by single blanks, with a line feed after every twelfth.
std::string joinWords(const std::vector<std::string>& words);

// `count` words from `from` starting at `first`, wrapping around.
std::vector<std::string> window(const std::vector<std::string>& from, std::size_t first,
                                std::size_t count);

// A lightly edited copy: about one word in `every` replaced, dropped, or given
// an extra word before it.
std::vector<std::string> editLightly(const std::vector<std::string>& words, std::size_t every,
                                     std::mt19937& random);

// Text that reads like the corpus word by word: each word follows the previous
// one as some word follows it in the corpus, so common words come as often as
// in English and short runs recur as they do there, but no long passage does.
class WordPairText {
 public:
  explicit WordPairText(const std::vector<std::string>& corpus);
  std::vector<std::string> generate(std::size_t count, std::mt19937& random) const;

 private:
  std::vector<std::string> words_;
  std::unordered_map<std::string, std::vector<std::uint32_t>> followers_;
};

}  // namespace orvalis::bench
