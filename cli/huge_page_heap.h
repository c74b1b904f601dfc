#pragma once

#include <cstdint>

namespace ravelin {

// A parsed document is a tree of small blocks, about six times its text,
// and on a virtual machine each first touch of a 4 KiB page costs more than
// the work done in it. For an input of at most 4 MiB (a JSON text whose tree
// fits in 32 MiB, or any blob) this grows the heap by 32 MiB at once and asks
// the kernel to back it with huge pages, so that what is built from the
// input is touched in a few faults instead of thousands; where the kernel
// gives none the heap is only grown early. Larger texts, whose trees would
// outgrow the reserve, leave the heap to glibc's own policy, which serves
// them with less memory at their peak. Only the first call acts.
void prepareHeapForDocument(std::uintmax_t inputSize);

}  // namespace ravelin
