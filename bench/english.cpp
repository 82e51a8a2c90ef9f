#include "bench/english.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace orvalis::bench {

std::vector<std::string> licenseWords(const std::string& name) {
  std::ifstream in(kLicenseFolder / name, std::ios::binary);
  std::vector<std::string> words;
  std::string word;
  // Words as the engine splits them: at blanks and line feeds only.
  char c = 0;
  while (in.get(c)) {
    if (c == ' ' || c == '\n') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

std::vector<std::string> allLicenseWords() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(kLicenseFolder, error)) {
    if (entry.is_regular_file() && !entry.is_symlink()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> words;
  for (const auto& name : names) {
    for (auto& word : licenseWords(name)) words.push_back(std::move(word));
  }
  return words;
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    text += words[i];
    text += (i % 12 == 11) ? '\n' : ' ';
  }
  return text;
}

std::vector<std::string> window(const std::vector<std::string>& from, std::size_t first,
                                std::size_t count) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < count; ++i) words.push_back(from[(first + i) % from.size()]);
  return words;
}

std::vector<std::string> editLightly(const std::vector<std::string>& words, std::size_t every,
                                     std::mt19937& random) {
  std::vector<std::string> edited;
  for (const auto& word : words) {
    if (random() % every != 0) {
      edited.push_back(word);
      continue;
    }
    switch (random() % 3) {
      case 0:
        edited.push_back("revised");
        break;
      case 1:
        break;  // dropped
      default:
        edited.push_back("indeed");
        edited.push_back(word);
        break;
    }
  }
  return edited;
}

WordPairText::WordPairText(const std::vector<std::string>& corpus) : words_(corpus) {
  for (std::size_t i = 0; i + 1 < corpus.size(); ++i) {
    followers_[corpus[i]].push_back(static_cast<std::uint32_t>(i + 1));
  }
}

std::vector<std::string> WordPairText::generate(std::size_t count, std::mt19937& random) const {
  std::vector<std::string> text;
  std::size_t at = random() % words_.size();
  for (std::size_t i = 0; i < count; ++i) {
    text.push_back(words_[at]);
    const auto it = followers_.find(words_[at]);
    // A dead end (the corpus's last word) or, now and then, a fresh start.
    if (it == followers_.end() || random() % 20 == 0) {
      at = random() % words_.size();
    } else {
      at = it->second[random() % it->second.size()];
    }
  }
  return text;
}

}  // namespace orvalis::bench
