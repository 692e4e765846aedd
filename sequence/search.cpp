// Tavrix: Find.
#include <cstdint>

#include "core/callout_guard.hpp"
#include "core/member_helpers.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

// A failed comparison of a key fails the search.
bool KeyEquals(const Variant& key, const Variant& Data, CalloutGuard& guard) {
  if (key.IsObject() == Data.IsObject()) return CompareEqual(key, Data).value_or(false);
  return guard.Run([held = key, &Data] { return CompareEqual(held, Data).value_or(false); });
}

}  // namespace

std::int32_t Tavrix::Find(const Variant& Data, const Variant& Start) const {
  return TranslateErrors([&] {
    RequireKind(kind_ != KindNil);
    CalloutGuard guard(*this);
    const std::int32_t first = guard.WithPlain(Start, [](const Variant& named) { return CLng(named); });
    // A Map is searched by key, with no tolerance for a comparison that fails; every other
    // kind by value, through ValuesEqual. A Start below 1 fails on reading that position.
    if (kind_ == KindMap) {
      const std::int32_t count = values_.Count();
      for (std::int64_t position = first; position <= count; ++position) {
        const auto p = static_cast<std::int32_t>(position);
        if (KeyEquals(MapKeyAt(p), Data, guard)) return p;
      }
      return -1;
    }
    const std::int32_t count = values_.Count();
    for (std::int64_t position = first; position <= count; ++position) {
      const auto p = static_cast<std::int32_t>(position);
      if (ElementEquals(values_.At(p), Data, guard)) return p;
    }
    return -1;
  });
}

}  // namespace quenlo
