// Writes the hostile input tests' 1 MiB blob of smallest camera blocks, the
// most decoded document for its bytes, for the Python module's tests.
//   hostile_blob_writer PATH

#include <cstdio>

#include "tests/cli/hostile_blobs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: hostile_blob_writer PATH\n", stderr);
    return 2;
  }
  const ravelin::Bytes blob = ravelin::testing::smallestBlocksBlob();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 1;
  const bool written = std::fwrite(blob.data(), 1, blob.size(), out) == blob.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
