// Tavrix: Remove and RemoveAll.
#include "core/callout_guard.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

Variant Tavrix::Remove(const Variant& index) {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind());
    NoteChange();
    CalloutGuard guard(*this);
    guard.WithPlain(index, [this](const Variant& named) {
      // Keys has no key texts of its own: the position found in Values names the key too.
      const std::int32_t position = values_.PositionOf(named);
      values_.RemoveAt(position);
      if (keys_) keys_->RemoveAt(position);
    });
    return Variant();
  });
}

void Tavrix::RemoveAll() {
  TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind());
    ReplaceStorage(Collection(), nullptr);
  });
}

}  // namespace quenlo
