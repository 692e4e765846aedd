// Tavrix: AddLast, AddFirst and Insert.
#include <limits>

#include "core/access.hpp"
#include "core/callout_guard.hpp"
#include "core/member_helpers.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

void RequireRoomInBoundedArray(const Tavrix& array) {
  if (array.Kind() == KindBoundedArray && detail::access::values(array).Count() >= array.Bound()) {
    Raise(ErrSubscriptOutOfRange);
  }
}

namespace {

// Appends to an array's values under the text of the new position.
void AppendAtNextPosition(Collection& values, const Variant& Data) {
  const std::int32_t count = values.Count();
  if (count == std::numeric_limits<std::int32_t>::max()) RaiseRuntimeError(err::kOverflow);
  values.AppendUnderFreeKey(Data, count + 1);  // without a key when "count + 1" is taken
}

}  // namespace

void Tavrix::AddMapKey(const Variant& Data, bool first) {
  CalloutGuard guard(*this);
  guard.WithPlain(Data, [&](const Variant& named) {
    if (ValueExists(named)) Raise(ErrDuplicateValue);
    // First, whatever the type of the first key.
    InsertMapEntry(first ? 1 : values_.Count() + 1, Data, named, Variant::Null());
  });
}

Variant Tavrix::AddLast(const Variant& Data) {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind());
    NoteChange();
    if (kind_ == KindMap) {
      AddMapKey(Data, false);
    } else {
      RequireRoomInBoundedArray(*this);
      AppendAtNextPosition(values_, Data);
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
      RequireRoomInBoundedArray(*this);
      if (values_.Count() == 0) {
        AppendAtNextPosition(values_, Data);
      } else {
        values_.InsertAt(1, Data);
      }
    }
    return Variant();
  });
}

void Tavrix::Insert(const Variant& index, const Variant& Data) {
  TranslateErrors([&] {
    RequireKind(IsArrayKind());
    RequireRoomInBoundedArray(*this);
    NoteChange();
    CalloutGuard guard(*this);
    guard.WithPlain(index, [&](const Variant& named) { values_.InsertAt(values_.PositionOf(named), Data); });
  });
}

}  // namespace quenlo
