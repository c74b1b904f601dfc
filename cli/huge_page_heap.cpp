#include "cli/huge_page_heap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace ravelin {

namespace {

// glibc's largest threshold for giving a block a mapping of its own.
constexpr std::size_t kHeapReserve = 32U << 20;
// Its smallest, where it starts: larger blocks get mappings of their own,
// returned whole when freed.
constexpr std::size_t kOwnMappingThreshold = 128U << 10;
constexpr std::uintptr_t kHugePage = 2U << 20;
// A JSON text beyond this makes a tree larger than the reserve.
constexpr std::uintmax_t kLargestInputServed = 4U << 20;

}  // namespace

void prepareHeapForDocument(std::uintmax_t inputSize) {
  static bool prepared = false;
  if (prepared || inputSize > kLargestInputServed) return;
  prepared = true;
  // The reserve itself comes from the heap, and stays there once freed.
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kHeapReserve));
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kHeapReserve));
  void* block = std::malloc(kHeapReserve - kHugePage);
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnMappingThreshold));
  if (block == nullptr) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const auto end =
      (reinterpret_cast<std::uintptr_t>(block) + kHeapReserve - kHugePage) & ~(kHugePage - 1);
  // Refused where the kernel has no transparent huge pages: then the pages
  // stay small.
  if (begin < end) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  std::free(block);
}

}  // namespace ravelin
