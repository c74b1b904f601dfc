#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "wire/byte_io.h"

namespace ravelin::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void writeBytes(const std::filesystem::path& path, const Bytes& bytes);
void writeText(const std::filesystem::path& path, const std::string& text);
Bytes readBytes(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);

// The names in a directory, to show that no stray temporary file was left.
std::set<std::string> entryNames(const std::filesystem::path& directory);

}  // namespace ravelin::testing
