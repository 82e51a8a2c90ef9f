// Writes a folder of English-like essays with planted, lightly edited copies,
// the same on every run, for timing whole scans (scripts/bench-scan).
//
//   orvalis_make_bench_folder FOLDER [FILES [WORDS]]
//
// Every essay has WORDS words (default 2000) drawn from the word pairs of the
// license texts in /usr/share/common-licenses. Every tenth essay holds a
// 300-word passage of an earlier essay with about one word in 15 changed;
// every 25th is a whole earlier essay with about one word in 10 changed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/english.h"

int main(int argc, char** argv) {
  using namespace orvalis::bench;
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: orvalis_make_bench_folder FOLDER [FILES [WORDS]]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::size_t files = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200;
  const std::size_t words = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 2000;
  const std::vector<std::string> corpus = allLicenseWords();
  if (corpus.empty() || files < 2 || words < 300) {
    std::fprintf(stderr, "orvalis_make_bench_folder: no license texts in %s, or too few words\n",
                 kLicenseFolder.c_str());
    return 1;
  }
  std::filesystem::create_directories(folder);

  const WordPairText generator(corpus);
  std::mt19937 random(20261207);
  std::vector<std::vector<std::string>> essays;
  for (std::size_t i = 0; i < files; ++i) {
    std::vector<std::string> essay = generator.generate(words, random);
    if (i >= 25 && i % 25 == 0) {
      essay = editLightly(essays[random() % i], 10, random);
    } else if (i >= 10 && i % 10 == 0) {
      const auto& source = essays[random() % i];
      const auto passage = editLightly(window(source, random() % (words - 300), 300), 15, random);
      const std::size_t at = random() % (words - passage.size());
      std::copy(passage.begin(), passage.end(), essay.begin() + static_cast<std::ptrdiff_t>(at));
    }
    essay.resize(words, "end");
    char name[32];
    std::snprintf(name, sizeof name, "essay%03zu.txt", i);
    std::ofstream(folder / name, std::ios::binary) << joinWords(essay);
    essays.push_back(std::move(essay));
  }
  return 0;
}
