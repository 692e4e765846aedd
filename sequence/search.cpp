// Tavrix: Find.
#include <cstdint>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

std::int32_t Tavrix::Find(const Variant& Data, const Variant& Start) const {
  return TranslateErrors([&] {
    RequireKind(kind_ != KindNil);
    const std::int32_t first = CLng(Start);
    // A Map is searched by key, with no tolerance for a comparison that fails; every other
    // kind by value, through ValuesEqual. A Start below 1 fails on reading that position.
    if (kind_ == KindMap) {
      const std::int32_t count = keys_->Count();
      for (std::int64_t position = first; position <= count; ++position) {
        const auto p = static_cast<std::int32_t>(position);
        if (CompareEqual(keys_->At(p), Data).value_or(false)) return p;
      }
      return -1;
    }
    const std::int32_t count = values_->Count();
    for (std::int64_t position = first; position <= count; ++position) {
      const auto p = static_cast<std::int32_t>(position);
      if (ValuesEqual(values_->At(p), Data)) return p;
    }
    return -1;
  });
}

}  // namespace quenlo
