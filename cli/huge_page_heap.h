#pragma once

namespace ravelin {

// A large document is a tree of hundreds of thousands of small blocks, and on
// a virtual machine each first touch of a 4 KiB page costs more than the work
// done in it. This grows the heap by 32 MiB at once, keeps blocks of up to
// that size in it, and asks the kernel to back it with huge pages, so that a
// document of a few megabytes is touched in a few faults instead of
// thousands. Where the kernel gives no huge pages the heap is only grown:
// nothing depends on the advice. Call it before the command reads its inputs.
void prepareHeapForLargeDocuments();

}  // namespace ravelin
