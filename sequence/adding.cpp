// Tavrix: AddLast, AddFirst and Insert.
#include <limits>

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

Variant Tavrix::AddLast(const Variant& Data) {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind());
    if (kind_ == KindMap) {
      if (ValueExists(Data)) Raise(ErrDuplicateValue);
      InsertMapEntry(values_->Count() + 1, Data, Variant::Null());
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
    if (kind_ == KindMap) {
      if (ValueExists(Data)) Raise(ErrDuplicateValue);
      InsertMapEntry(1, Data, Variant::Null());  // first, whatever the type of the first key
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
    values_->InsertAt(values_->PositionOf(index), Data);
  });
}

}  // namespace quenlo
