#include "wire/record_text.h"

#include <algorithm>
#include <stdexcept>

namespace ravelin {

void ObjectText::add(std::string_view key, WriteMember write, const void* subject,
                     const void* detail) {
  if (count_ == kCapacity) throw std::logic_error("an object with more members than planned");
  members_[count_++] = TextMember{key, write, subject, detail};
}

// The library's objects hold their members sorted by key, each key once.
void ObjectText::writeTo(JsonTextWriter& writer) {
  const auto members = std::span(members_).first(count_);
  std::sort(members.begin(), members.end(),
            [](const TextMember& a, const TextMember& b) { return a.key < b.key; });
  const auto repeated =
      std::adjacent_find(members.begin(), members.end(),
                         [](const TextMember& a, const TextMember& b) { return a.key == b.key; });
  if (repeated != members.end()) throw std::logic_error("two members of one object share a key");
  writer.beginObject();
  for (const TextMember& member : members) {
    writer.key(member.key);
    member.write(writer, member);
  }
  writer.endObject();
}

void writeTextMember(JsonTextWriter& writer, const TextMember& member) {
  writer.string(*static_cast<const std::string_view*>(member.subject));
}

}  // namespace ravelin
