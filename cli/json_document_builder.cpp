#include "cli/json_document_builder.h"

#include <iterator>
#include <stdexcept>
#include <utility>

#include "console/log.h"

namespace ravelin {

void JsonDocumentBuilder::open() {
  if (open_.size() >= static_cast<std::size_t>(maxDepth_)) {
    logError("JSON input nests deeper than %d levels", maxDepth_);
    throw std::runtime_error("JSON nesting too deep");
  }
  open_.push_back({values_.size(), keys_.size()});
}

JsonDocumentBuilder::OpenContainer JsonDocumentBuilder::close() {
  const OpenContainer container = open_.back();
  open_.pop_back();
  return container;
}

bool JsonDocumentBuilder::start_object(std::size_t /*elements*/) {
  open();
  return true;
}

bool JsonDocumentBuilder::key(json::string_t& name) {
  keys_.push_back(name);
  return true;
}

bool JsonDocumentBuilder::end_object() {
  const OpenContainer container = close();
  json object(json::value_t::object);
  auto& members = object.get_ref<json::object_t&>();
  auto name = keys_.begin() + static_cast<std::ptrdiff_t>(container.firstKey);
  for (auto value = values_.begin() + static_cast<std::ptrdiff_t>(container.firstValue);
       value != values_.end(); ++value, ++name) {
    members.insert_or_assign(members.end(), std::move(*name), std::move(*value));
  }
  keys_.resize(container.firstKey);
  values_.resize(container.firstValue);
  return add(std::move(object));
}

bool JsonDocumentBuilder::start_array(std::size_t /*elements*/) {
  open();
  return true;
}

bool JsonDocumentBuilder::end_array() {
  const OpenContainer container = close();
  const auto first = values_.begin() + static_cast<std::ptrdiff_t>(container.firstValue);
  json array(json::array_t(std::make_move_iterator(first), std::make_move_iterator(values_.end())));
  values_.resize(container.firstValue);
  return add(std::move(array));
}

nlohmann::json JsonDocumentBuilder::takeDocument() {
  return std::move(values_.back());
}

}  // namespace ravelin
