// Tavrix: Remove and RemoveAll.
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

Variant Tavrix::Remove(const Variant& index) {
  return TranslateErrors([&] {
    if (kind_ == KindMap) {
      // Keys has no key texts of its own: the position found in Values names the key too.
      const std::int32_t position = values_->PositionOf(index);
      values_->RemoveAt(position);
      keys_->RemoveAt(position);
    } else {
      RequireKind(IsArrayKind());
      values_->Remove(index);
    }
    return Variant();
  });
}

void Tavrix::RemoveAll() {
  TranslateErrors([&] {
    if (kind_ == KindMap) return ReplaceStorage(Collection(), Collection());
    RequireKind(IsArrayKind());
    ReplaceStorage(Collection(), std::nullopt);
  });
}

}  // namespace quenlo
