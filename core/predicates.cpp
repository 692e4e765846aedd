// Tavrix: the type predicates. Each reads the element stored under the text of its index as
// a key, never by position, and tests that element.
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

bool HasType(const Variant& value, VbVarType type) noexcept {
  return value.Type() == type;
}

}  // namespace

const Variant& Tavrix::ItemByKeyText(const Variant& index) const {
  const std::string key_text = CStr(index);
  if (!values_) RaiseRuntimeError(err::kObjectNotSet);
  const auto position = values_->FindKey(key_text);
  if (!position) RaiseRuntimeError(err::kInvalidProcedureCall);
  return values_->At(*position);
}

bool Tavrix::IsNumeric(const Variant& index) const {
  return TranslateErrors([&] { return quenlo::IsNumeric(ItemByKeyText(index)); });
}

bool Tavrix::IsArray(const Variant& index) const {
  return TranslateErrors([&] { return quenlo::IsArray(ItemByKeyText(index)); });
}

bool Tavrix::IsObject(const Variant& index) const {
  return TranslateErrors([&] { return quenlo::IsObject(ItemByKeyText(index)); });
}

bool Tavrix::IsDate(const Variant& index) const {
  return TranslateErrors([&] { return quenlo::IsDate(ItemByKeyText(index)); });
}

bool Tavrix::IsLong(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbLong); });
}

bool Tavrix::IsBoolean(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbBoolean); });
}

bool Tavrix::IsCurrency(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbCurrency); });
}

bool Tavrix::IsInteger(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbInteger); });
}

bool Tavrix::IsString(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbString); });
}

bool Tavrix::IsDouble(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbDouble); });
}

bool Tavrix::IsSingle(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbSingle); });
}

bool Tavrix::IsNull(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbNull); });
}

bool Tavrix::IsEmpty(const Variant& index) const {
  return TranslateErrors([&] { return HasType(ItemByKeyText(index), vbEmpty); });
}

}  // namespace quenlo
