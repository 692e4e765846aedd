// What both readers of JSON share, the reader of JSON values and the reader of JSON text: the
// filler of the container being read, the numbers JSON gives, and the limit of nesting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/access.hpp"
#include "core/kind_marks.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/keyed_filler.hpp"

namespace quenlo {

// Fills a container JSON describes as the object-string reader fills those it reads: straight
// into its storage, an Array's elements without keys; a Map's members are gathered and their
// keys checked all at once when it closes.
class JsonContainerFiller {
 public:
  // Opens a Map or an unbounded Array with room for `size` elements (a guess; 0 when unknown).
  JsonContainerFiller(bool object, std::size_t size) : container_(Tavrix::Create()) {
    if (object) {
      container_->SetMap();
    } else {
      container_->SetArray();
    }
    if (size > 0 && size <= kLargestReservation) {
      const auto capacity = static_cast<std::int32_t>(size);
      if (object) {
        members_.Reserve(capacity);
      } else {
        detail::access::values(*container_).Reserve(capacity);
      }
    }
  }

  const TavrixPtr& Container() const noexcept { return container_; }

  // Adds an element to an Array, or a member to a Map under `key`.
  void Add(std::string_view key, Variant value) {
    if (detail::access::kind(*container_) == KindMap) return members_.Append(std::move(value), key);
    detail::access::values(*container_).Append(std::move(value));
  }

  // Hands a Map its members: a key given twice keeps its first place and takes the later value.
  void Close() {
    if (detail::access::kind(*container_) == KindMap)
      detail::access::values(*container_) = std::move(members_).Take();
  }

 private:
  static constexpr std::size_t kLargestReservation = 1 << 24;

  TavrixPtr container_;
  KeyedFiller members_;
};

// An integer that fits 32 bits is a Long, any other a Double.
inline Variant IntegerFromJson(std::int64_t number) {
  if (number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::int32_t>::max())
    return Variant::Double(static_cast<double>(number));
  return Variant::Long(static_cast<std::int32_t>(number));
}

inline Variant UnsignedFromJson(std::uint64_t number) {
  if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    return Variant::Double(static_cast<double>(number));
  return Variant::Long(static_cast<std::int32_t>(number));
}

// Raised before a container would be opened `open` levels deep.
inline void RequireNestingWithinLimit(std::size_t open) {
  if (open > static_cast<std::size_t>(kMaxNestingDepth)) {
    RaiseRuntimeError(err::kOutOfStackSpace, "JSON nested deeper than 1,024 levels");
  }
}

}  // namespace quenlo
