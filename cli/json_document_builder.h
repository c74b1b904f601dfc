#pragma once

// Builds a JSON document from the parser's events, as the JSON library's own
// builder does, at less cost and within a nesting limit.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <vector>

namespace ravelin {

// Each container's values wait on one stack shared by all open containers
// until the container closes: an array is then allocated once at its final
// size instead of growing element by element, and an object's members go in
// with a hint at the end, which costs no search when the keys come in order.
// A later duplicate key replaces the earlier value, as in the library. The
// parser keeps a stack of its own and does not recurse, so refusing a
// container that would open deeper than the limit bounds everything built
// from the text. (A parse callback could check the depth too, but the
// library then takes a slower road that copies every key and rescans every
// object.)
class JsonDocumentBuilder {
 public:
  using json = nlohmann::json;

  explicit JsonDocumentBuilder(int maxDepth) : maxDepth_(maxDepth) {}

  bool null() { return add(json(nullptr)); }
  bool boolean(bool value) { return add(json(value)); }
  bool number_integer(json::number_integer_t value) { return add(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return add(json(value)); }
  bool number_float(json::number_float_t value, const json::string_t& /*text*/) {
    return add(json(value));
  }
  bool string(json::string_t& value) { return add(json(value)); }
  bool binary(json::binary_t& value) { return add(json::binary(std::move(value))); }
  bool start_object(std::size_t /*elements*/);
  bool key(json::string_t& name);
  bool end_object();
  bool start_array(std::size_t /*elements*/);
  bool end_array();
  // Rethrows the parser's exception as its own type.
  template <typename Exception>
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception& error) {
    throw error;
  }

  // The document, once the parser has accepted the whole text.
  json takeDocument();

 private:
  struct OpenContainer {
    std::size_t firstValue;
    std::size_t firstKey;
  };

  bool add(json&& value) {
    values_.push_back(std::move(value));
    return true;
  }
  void open();
  OpenContainer close();

  int maxDepth_;
  std::vector<OpenContainer> open_;
  std::vector<json> values_;
  std::vector<json::string_t> keys_;
};

}  // namespace ravelin
