#pragma once

// The JSON text that decode writes, piece by piece: an indent of 4, one
// member or element to a line, no final newline, UTF-8 written as it is and
// invalid UTF-8 refused with the JSON library's type_error, numbers as the
// library prints them. Whoever drives the writer gives the members of an
// object in the order of their keys, as the library's objects hold them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ravelin {

// One number as decode writes it: x * 10^(8 - floor(log10|x|)) to the
// nearest integer, ties to even, divided by the factor again; numbers whose
// factor is not a finite nonzero double are narrowed to float32.
double roundToNineSignificantDigits(double x);

class JsonTextWriter {
 public:
  // Hands the text written so far to whoever writes it out, and empties it.
  using Spill = std::function<void(std::string_view text)>;

  // Appends to `text`, which must outlive the writer. With `spill`, the text
  // is handed over whenever it holds kSpillSize bytes or more, so that a
  // long document need not be held whole; the caller hands over the rest.
  explicit JsonTextWriter(std::string& text, Spill spill = {})
      : text_(text), spill_(std::move(spill)) {}

  static constexpr std::size_t kSpillSize = 64 * 1024;

  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }
  // The key of the object member whose value comes next.
  void key(std::string_view name);

  void string(std::string_view text);
  // Written as it is, unrounded; a number that is not finite is null.
  void number(double value);
  void integer(std::int64_t value);
  void integer(std::uint64_t value);
  void boolean(bool value);
  void null();

 private:
  void open(char bracket);
  void close(char bracket);
  void quoted(std::string_view text);
  // Starts a value: on a line of its own in an array, after its key in an object.
  void beginValue();

  std::string& text_;
  Spill spill_;
  // For each open container, whether it holds anything yet.
  std::vector<bool> filled_;
  bool afterKey_ = false;
};

}  // namespace ravelin
