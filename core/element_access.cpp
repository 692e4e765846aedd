// Tavrix: reading and storing single elements, counting, membership and a Map's keys.
#include <string>
#include <utility>

#include "core/callout_guard.hpp"
#include "core/member_helpers.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

bool ReadsByIndex(TavrixKind kind) noexcept {
  return kind == KindMap || kind == KindBoundedArray || kind == KindUnboundedArray || kind == KindVariant ||
         kind == KindSet;
}

}  // namespace

// ---- Shared lookups ---------------------------------------------------------------------

std::optional<std::int32_t> Tavrix::PositionIfExists(const Variant& index) const noexcept {
  if (kind_ == KindNil) return std::nullopt;
  // The common indexes are answered without the cost of a failed lookup.
  if (index.IsString()) return values_.FindKey(index.AsString());
  if (index.Type() == vbInteger || index.Type() == vbLong) {
    const std::int32_t position = index.Type() == vbInteger ? index.AsInteger() : index.AsLong();
    if (position < 1 || position > values_.Count()) return std::nullopt;
    return position;
  }
  try {
    return values_.PositionOf(index);
  } catch (...) {
    return std::nullopt;
  }
}

bool Tavrix::ValueExists(const Variant& index) const noexcept {
  return PositionIfExists(index).has_value();
}

bool ValuesEqual(const Variant& A, const Variant& B) noexcept {
  try {
    if (A.IsObject() && B.IsObject()) return A.AsObject() == B.AsObject();
    return CompareEqual(A, B).value_or(false);
  } catch (...) {
    return false;
  }
}

// ---- Item ---------------------------------------------------------------------------------

Variant Tavrix::Item(const Variant& index) const {
  // The commonest read, an element by a position it has, is answered at once when copying the
  // element cannot fail (a String or an array copies its text or elements).
  if ((index.Type() == vbLong || index.Type() == vbInteger) && ReadsByIndex(kind_)) {
    const std::int32_t position = index.Type() == vbLong ? index.AsLong() : index.AsInteger();
    if (position >= 1 && position <= values_.Count()) {
      const Variant& element = values_.At(position);
      if (!element.IsString() && !element.IsArray()) return element;
    }
  }
  return TranslateErrors([&] {
    RequireKind(ReadsByIndex(kind_));
    CalloutGuard guard(*this);
    return guard.WithPlain(index, [this](const Variant& named) { return values_.Item(named); });
  });
}

void Tavrix::Item(const Variant& index, Variant value) {
  TranslateErrors([&] {
    RequireKind(kind_ == KindMap || IsArrayKind() || kind_ == KindVariant);
    NoteChange();
    CalloutGuard guard(*this);
    // An object index is read once; the stores work on the value it names.
    guard.WithPlain(index, [&](const Variant& named) { StoreValue(index, named, std::move(value)); });
  });
}

void Tavrix::StoreValue(const Variant& index, const Variant& named, Variant value) {
  if (kind_ == KindMap) return StoreMapValue(index, named, std::move(value));
  if (IsArrayKind()) return StoreArrayValue(named, std::move(value));
  StoreVariantValue(named, std::move(value));
}

void Tavrix::StoreArrayValue(const Variant& index, Variant value) {
  // "Count < Bound Or index <= Count Or Bound = -1": every term is evaluated, and a Null
  // comparison makes the condition Null unless another term is True.
  const std::int32_t count = values_.Count();
  const bool below_bound = count < bound_;
  const std::optional<bool> within_count = CompareLessEqual(index, count);
  const bool unlimited = bound_ == -1;
  if (!below_bound && !unlimited) {
    if (!within_count) RaiseRuntimeError(err::kInvalidUseOfNull);
    if (!*within_count) Raise(ErrSubscriptOutOfRange);
  }
  if (const auto position = PositionIfExists(index)) {
    values_.ReplaceAt(*position, std::move(value));  // the new element has no key
    return;
  }
  // An index such as 0 passes the test above on a full bounded Array but names no element:
  // appending would take the array past its bound.
  RequireRoomInBoundedArray(*this);
  // Under the index's text, or without a key when another element already carries it.
  values_.AppendUnderFreeKey(std::move(value), CStr(index));
}

void Tavrix::StoreMapValue(const Variant& key, const Variant& named, Variant value) {
  if (const auto position = PositionIfExists(named)) {
    values_.At(*position) = std::move(value);  // the entry keeps its place and its key
    return;
  }
  InsertMapEntry(values_.Count() + 1, key, named, std::move(value));
}

// Values is keyed by the text of the value the key names; Keys, once kept, holds the key as
// given.
void Tavrix::InsertMapEntry(std::int32_t position, const Variant& key, const Variant& named, Variant value) {
  if (!keys_ && !key.IsString()) KeepGivenKeys();
  values_.InsertAt(position, std::move(value), CStr(named));
  if (!keys_) return;
  try {
    keys_->InsertAt(position, key);
  } catch (...) {
    values_.RemoveAt(position);
    throw;
  }
}

void Tavrix::StoreVariantValue(const Variant& index, Variant value) {
  // The new value goes to the end under the index's text, replacing the element the index
  // names. A clash with another element's key is refused before the old element goes.
  std::string key_text = CStr(index);
  const auto replaced = PositionIfExists(index);
  const auto holder = values_.FindKey(key_text);
  if (holder && holder != replaced) RaiseRuntimeError(err::kDuplicateKey);
  if (!replaced) return values_.Append(std::move(value), key_text);

  Variant former = std::move(values_.At(*replaced));
  const std::optional<std::string> former_key(values_.KeyAt(*replaced));
  values_.RemoveAt(*replaced);
  try {
    values_.Append(std::move(value), key_text);
  } catch (...) {
    values_.InsertAt(*replaced, std::move(former), former_key);
    throw;
  }
}

Variant Tavrix::MapKeyAt(std::int32_t position) const {
  if (keys_) return keys_->At(position);
  std::string text;
  values_.AppendKeyText(position, text);
  return Variant::String(text);
}

void Tavrix::KeepGivenKeys() {
  auto keys = std::make_unique<Collection>();
  keys->Reserve(values_.Count() + 1);
  for (std::int32_t position = 1; position <= values_.Count(); ++position) keys->Append(MapKeyAt(position));
  keys_ = std::move(keys);
}

// ---- Length, Exists, GetKeys ------------------------------------------------------------------

std::int32_t Tavrix::Length() const {
  return TranslateErrors([&] {
    RequireKind(kind_ != KindNil);
    if (kind_ != KindVariant) return values_.Count();
    const Variant& value = values_.At(1);
    if (!value.IsObject()) return CharacterCount(ConcatText(value));
    CalloutGuard guard(*this);
    return CharacterCount(guard.Run([held = value] { return ConcatText(held); }));
  });
}

// A change made by the default member of an object that was read stops the search, which
// then answers False, as any failure does.
bool Tavrix::Exists(const Variant& Data) const noexcept {
  try {
    CalloutGuard guard(*this);
    if (kind_ == KindMap)
      return guard.WithPlain(Data, [this](const Variant& named) { return ValueExists(named); });
    if (kind_ == KindVariant || kind_ == KindNil) return false;
    for (std::int32_t position = 1; position <= values_.Count(); ++position) {
      if (ElementEquals(values_.At(position), Data, guard)) return true;
    }
  } catch (...) {
  }
  return false;
}

bool ElementEquals(const Variant& element, const Variant& Data, CalloutGuard& guard) {
  // Only an object compared with a plain value is read through its default member.
  if (element.IsObject() == Data.IsObject()) return ValuesEqual(element, Data);
  return guard.Run([held = element, &Data] { return ValuesEqual(held, Data); });
}

TavrixPtr Tavrix::GetKeys() const {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindMap);
    TavrixPtr keys = Create();
    Collection& list = keys->values_;
    list.Reserve(values_.Count());
    for (std::int32_t position = 1; position <= values_.Count(); ++position) {
      list.AppendUnderFreeKey(MapKeyAt(position), position);
    }
    keys->kind_ = KindUnboundedArray;
    keys->bound_ = -1;
    return keys;
  });
}

}  // namespace quenlo
