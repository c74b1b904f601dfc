#pragma once

// Reading an inspector listing in tests: the value shown for a name, and the
// first fault line with the rest of the listing after it.

#include <algorithm>
#include <sstream>
#include <string>

namespace ravelin::testing {

// What the listing shows after `label` on the first line that names it.
inline std::string shownFor(const std::string& listing, const std::string& label) {
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find("  " + label);
    const std::size_t after = at + 2 + label.size();
    if (at == std::string::npos || (after < line.size() && line[after] != ' ')) continue;
    return line.substr(std::min(line.find_first_not_of(' ', after), line.size()));
  }
  return "no line for " + label;
}

struct FaultLine {
  std::string line;   // columns squeezed to one space
  std::string after;  // the listing from the next line on
};

inline FaultLine firstFaultLine(const std::string& listing) {
  const std::size_t fault = listing.find("  FAULT");
  if (fault == std::string::npos) return {"no fault in:\n" + listing, ""};
  const std::size_t start = listing.rfind('\n', fault) + 1;
  const std::size_t end = std::min(listing.find('\n', fault), listing.size());
  FaultLine found;
  for (const char c : listing.substr(start, end - start)) {
    if (c != ' ' || (!found.line.empty() && found.line.back() != ' ')) found.line += c;
  }
  found.after = listing.substr(std::min(end + 1, listing.size()));
  return found;
}

}  // namespace ravelin::testing
