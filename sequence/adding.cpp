// Tavrix: AddLast, AddFirst and Insert.
#include <limits>

#include "core/callout_guard.hpp"
#include "core/member_helpers.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

void Tavrix::RequireRoomInBoundedArray() const {
  if (kind_ == KindBoundedArray && values_->Count() >= bound_) Raise(ErrSubscriptOutOfRange);
}

void Tavrix::AppendAtNextPosition(const Variant& Data) {
  const std::int32_t count = values_->Count();
  if (count == std::numeric_limits<std::int32_t>::max()) RaiseRuntimeError(err::kOverflow);
  values_->AppendUnderFreeKey(Data, count + 1);  // without a key when "count + 1" is taken
}

void Tavrix::AddMapKey(const Variant& Data, bool first) {
  CalloutGuard guard(*this);
  guard.WithPlain(Data, [&](const Variant& named) {
    if (ValueExists(named)) Raise(ErrDuplicateValue);
    // First, whatever the type of the first key.
    InsertMapEntry(first ? 1 : values_->Count() + 1, Data, named, Variant::Null());
  });
}

Variant Tavrix::AddLast(const Variant& Data) {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind());
    NoteChange();
    if (kind_ == KindMap) {
      AddMapKey(Data, false);
    } else {
      RequireRoomInBoundedArray();
      AppendAtNextPosition(Data);
    }
    return Variant();
  });
}

Variant Tavrix::AddFirst(const Variant& Data) {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind());
    NoteChange();
    if (kind_ == KindMap) {
      AddMapKey(Data, true);
    } else {
      RequireRoomInBoundedArray();
      if (values_->Count() == 0) {
        AppendAtNextPosition(Data);
      } else {
        values_->InsertAt(1, Data);
      }
    }
    return Variant();
  });
}

void Tavrix::Insert(const Variant& index, const Variant& Data) {
  TranslateErrors([&] {
    RequireKind(IsArrayKind());
    RequireRoomInBoundedArray();
    NoteChange();
    CalloutGuard guard(*this);
    guard.WithPlain(index,
                    [&](const Variant& named) { values_->InsertAt(values_->PositionOf(named), Data); });
  });
}

}  // namespace quenlo
