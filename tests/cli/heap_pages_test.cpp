// The heap that orvalis-scan asks to be backed by large pages.
#include "cli/heap_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orvalis::cli {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kOwnAllocator = true;  // the sanitizer's allocator, not the C library's
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

// The flags of the mapping that holds `address` (the VmFlags line of
// /proc/self/smaps), empty when none does.
std::string mappingFlags(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t first = 0, end = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> first >> dash >> end && dash == '-') {
      inside = first <= at && at < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return {};
}

TEST(HeapPages, BlocksOfEveryThreadComeFromTheAdvisedHeap) {
#if !defined(__linux__) || !defined(__GLIBC__)
  GTEST_SKIP() << "only the GNU C library on Linux has the means";
#endif
  if (kOwnAllocator) GTEST_SKIP() << "a sanitizer's allocator serves this build";
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage")) {
    GTEST_SKIP() << "this kernel has no large pages for the heap";
  }
  useLargePagesForHeap();
  // Blocks such as a scan's words and results, on this thread and another.
  std::vector<char> here(std::size_t{8} << 20);
  std::vector<char> there;
  std::thread([&] { there.resize(std::size_t{8} << 20); }).join();
  for (const std::vector<char>* block : {&here, &there}) {
    // "hg": the mapping is advised to take large pages. The heap's first block
    // may begin below the space set aside, in the last small pages before it.
    const char* middle = block->data() + block->size() / 2;
    EXPECT_NE(mappingFlags(middle).find(" hg"), std::string::npos) << mappingFlags(middle);
  }
}

}  // namespace
}  // namespace orvalis::cli
