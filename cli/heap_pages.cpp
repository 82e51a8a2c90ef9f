#include "cli/heap_pages.h"

// Before the test for the C library, which its headers name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <initializer_list>
#endif

namespace orvalis::cli {

#if defined(__linux__) && defined(__GLIBC__)

namespace {

// The heap space set aside for large pages.
constexpr std::size_t kLargePageHeapBytes = std::size_t{256} << 20;

bool addressSpaceLimited() {
  for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY) return true;
  }
  return false;
}

}  // namespace

void useLargePagesForHeap() {
  // Under a limit, the space set aside would be taken from what blocks too
  // large for the heap can have.
  if (addressSpaceLimited()) return;
  constexpr int kMmapThreshold = 32 << 20;  // the C library's largest
  // One heap for every thread: the scan's workers take most of its memory.
  mallopt(M_ARENA_MAX, 1);
  // Blocks up to the threshold (a scan's results, say) come from the heap too.
  mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
  // Space freed at the heap's end stays in it: given back and taken again, it
  // would come without the advice below.
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kLargePageHeapBytes));

  // A block larger than what start-up left at the heap's end makes the heap
  // grow, by the block and the padding: the whole space at once.
  const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
  mallopt(M_TOP_PAD, static_cast<int>(kLargePageHeapBytes));
  void* volatile block = std::malloc(kMmapThreshold / 2);  // volatile: kept, not optimized away
  std::free(block);
  mallopt(M_TOP_PAD, 128 << 10);  // the C library's default, for growth beyond the space
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));

  // Where the heap could not grow in place, the C library maps memory elsewhere
  // and the break stays put: nothing to advise then.
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t last = end & ~(kLargePage - 1);
  if (last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
}

#else

void useLargePagesForHeap() {}

#endif

}  // namespace orvalis::cli
