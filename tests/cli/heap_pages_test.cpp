// The heap that orvalis-scan asks to be backed by large pages. The heap is set
// up once per process: each test runs in a process of its own, as ctest runs
// them.
#include "cli/heap_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#endif

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

// Whether this process can show the heap's advice: skipped when not.
bool canAdvise() {
#if defined(__linux__) && defined(__GLIBC__)
  return !kOwnAllocator && std::filesystem::exists("/sys/kernel/mm/transparent_hugepage");
#else
  return false;
#endif
}

TEST(HeapPages, BlocksOfEveryThreadComeFromTheAdvisedHeap) {
  if (!canAdvise()) GTEST_SKIP() << "no large pages for the C library's heap here";
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

TEST(HeapPages, ALimitedAddressSpaceIsLeftAsItIs) {
  if (!canAdvise()) GTEST_SKIP() << "no large pages for the C library's heap here";
#if defined(__linux__)
  // Far above what this test takes, far below the unlimited default; the
  // soft limit alone, so that it can be lifted again.
  rlimit unlimited{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &unlimited), 0);
  rlimit limit = unlimited;
  limit.rlim_cur = rlim_t{4} << 30;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
  useLargePagesForHeap();
  setrlimit(RLIMIT_AS, &unlimited);
#endif
  std::vector<char> block(std::size_t{8} << 20);
  const char* middle = block.data() + block.size() / 2;
  EXPECT_EQ(mappingFlags(middle).find(" hg"), std::string::npos) << mappingFlags(middle);
}

}  // namespace
}  // namespace orvalis::cli
