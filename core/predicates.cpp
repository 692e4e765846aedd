// Tavrix: the type predicates. Each reads the element stored under the text of its index as
// a key, never by position, and tests that element.
#include "core/access.hpp"
#include "core/callout_guard.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

template <VbVarType type>
bool HasType(const Variant& value) noexcept {
  return value.Type() == type;
}

// `test` applied to the element of `t` stored under the text of `index` as a key.
bool TestItemByKeyText(const Tavrix& t, const Variant& index, bool (*test)(const Variant&)) {
  return TranslateErrors([&] {
    // Reading an object index may call out; the guard keeps this container alive meanwhile.
    CalloutGuard guard(t);
    const std::string key_text = guard.WithPlain(index, [](const Variant& named) { return CStr(named); });
    if (t.Kind() == KindNil) RaiseRuntimeError(err::kObjectNotSet);
    const Collection& values = detail::access::values(t);
    const auto position = values.FindKey(key_text);
    if (!position) RaiseRuntimeError(err::kInvalidProcedureCall);
    return test(values.At(*position));
  });
}

}  // namespace

bool Tavrix::IsNumeric(const Variant& index) const {
  return TestItemByKeyText(*this, index, quenlo::IsNumeric);
}

bool Tavrix::IsArray(const Variant& index) const {
  return TestItemByKeyText(*this, index, quenlo::IsArray);
}

bool Tavrix::IsObject(const Variant& index) const {
  return TestItemByKeyText(*this, index, quenlo::IsObject);
}

bool Tavrix::IsDate(const Variant& index) const {
  return TestItemByKeyText(*this, index, quenlo::IsDate);
}

bool Tavrix::IsLong(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbLong>);
}

bool Tavrix::IsBoolean(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbBoolean>);
}

bool Tavrix::IsCurrency(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbCurrency>);
}

bool Tavrix::IsInteger(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbInteger>);
}

bool Tavrix::IsString(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbString>);
}

bool Tavrix::IsDouble(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbDouble>);
}

bool Tavrix::IsSingle(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbSingle>);
}

bool Tavrix::IsNull(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbNull>);
}

bool Tavrix::IsEmpty(const Variant& index) const {
  return TestItemByKeyText(*this, index, HasType<vbEmpty>);
}

}  // namespace quenlo
