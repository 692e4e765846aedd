// Variant: construction, copying, typed reads and strict equality.
#include "quenlo/variant.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <sstream>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "runtime/number_compare.hpp"
#include "runtime/number_text.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

// The rule for numeric literals: Integer when the value fits 16 bits, else Long when it
// fits 32 bits, else Double.
template <class Int>
Variant FromIntegral(Int value) noexcept {
  if (std::in_range<std::int16_t>(value)) return Variant::Integer(static_cast<std::int16_t>(value));
  if (std::in_range<std::int32_t>(value)) return Variant::Long(static_cast<std::int32_t>(value));
  return Variant::Double(static_cast<double>(value));
}

[[noreturn]] void RaiseTypeMismatch() {
  RaiseRuntimeError(err::kTypeMismatch);
}

}  // namespace

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    // Copy first: `other` may live inside this Variant's array.
    Variant copy(other);
    if (OwnsResource()) Release();
    MoveFrom(copy);
  }
  return *this;
}

Variant::Variant(short value) noexcept : Variant(Integer(value)) {}
Variant::Variant(int value) noexcept : Variant(FromIntegral(value)) {}
Variant::Variant(long value) noexcept : Variant(FromIntegral(value)) {}
Variant::Variant(long long value) noexcept : Variant(FromIntegral(value)) {}
Variant::Variant(unsigned value) noexcept : Variant(FromIntegral(value)) {}
Variant::Variant(unsigned long value) noexcept : Variant(FromIntegral(value)) {}
Variant::Variant(unsigned long long value) noexcept : Variant(FromIntegral(value)) {}
Variant::Variant(unsigned char value) noexcept : Variant(Byte(value)) {}
Variant::Variant(float value) noexcept : Variant(Single(value)) {}
Variant::Variant(double value) noexcept : Variant(Double(value)) {}
Variant::Variant(bool value) noexcept : Variant(Boolean(value)) {}
Variant::Variant(std::nullptr_t) noexcept : Variant(Null()) {}
Variant::Variant(const char* value) : Variant(value == nullptr ? Null() : Variant(std::string_view(value))) {}
Variant::Variant(const std::string& value) : Variant(std::string_view(value)) {}

Variant::Variant(std::string_view value) : type_(vbEmpty) {
  AssignString(value);
}

Variant::Variant(Currency value) noexcept : type_(vbCurrency) {
  value_.i64 = value.scaled;
}

Variant::Variant(Date value) noexcept : type_(vbDate) {
  value_.f64 = value.serial;
}

// A scale beyond 28 is no Decimal: such a value is rounded to 28 decimals.
Variant::Variant(const Decimal& value) noexcept : type_(vbDecimal) {
  value_.decimal = value.scale <= 28 ? value : DecimalFromExact(ExactFromDecimal(value));
}

Variant::Variant(std::shared_ptr<Object> object) noexcept : type_(vbObject) {
  new (&value_.object) std::shared_ptr<Object>(std::move(object));
}

Variant Variant::Null() noexcept {
  Variant v;
  v.type_ = vbNull;
  return v;
}

Variant Variant::Missing() noexcept {
  return Error(kMissingErrorCode);
}

Variant Variant::Nothing() noexcept {
  return Variant(std::shared_ptr<Object>());
}

Variant Variant::Error(std::int32_t code) noexcept {
  Variant v;
  v.type_ = vbError;
  v.value_.i32 = code;
  return v;
}

Variant Variant::Integer(std::int16_t value) noexcept {
  Variant v;
  v.type_ = vbInteger;
  v.value_.i16 = value;
  return v;
}

Variant Variant::Long(std::int32_t value) noexcept {
  Variant v;
  v.type_ = vbLong;
  v.value_.i32 = value;
  return v;
}

Variant Variant::Single(float value) noexcept {
  Variant v;
  v.type_ = vbSingle;
  v.value_.f32 = value;
  return v;
}

Variant Variant::Double(double value) noexcept {
  Variant v;
  v.type_ = vbDouble;
  v.value_.f64 = value;
  return v;
}

Variant Variant::Boolean(bool value) noexcept {
  Variant v;
  v.type_ = vbBoolean;
  v.value_.boolean = value;
  return v;
}

Variant Variant::Byte(std::uint8_t value) noexcept {
  Variant v;
  v.type_ = vbByte;
  v.value_.byte = value;
  return v;
}

Variant Variant::String(std::string_view value) {
  return Variant(value);
}

// The depth is bounded so that copying, comparing and releasing an array, which recurse
// through nested arrays, cannot run out of stack.
Variant Variant::Array(std::vector<Variant> elements) {
  std::uint32_t depth = 1;
  for (const Variant& element : elements) {
    if (element.IsArray()) depth = std::max(depth, element.value_.array.depth + 1);
  }
  if (depth > kDeepestArray) RaiseRuntimeError(err::kOutOfStackSpace);
  Variant v;
  v.value_.array =
      ArrayBlock{TranslateErrors([&] { return new std::vector<Variant>(std::move(elements)); }), depth};
  v.type_ = vbArray | vbVariant;
  return v;
}

bool Variant::IsMissing() const noexcept {
  return type_ == vbError && value_.i32 == kMissingErrorCode;
}

bool Variant::IsNothing() const noexcept {
  return type_ == vbObject && !value_.object;
}

std::int16_t Variant::AsInteger() const {
  if (type_ != vbInteger) RaiseTypeMismatch();
  return value_.i16;
}

std::int32_t Variant::AsLong() const {
  if (type_ != vbLong) RaiseTypeMismatch();
  return value_.i32;
}

float Variant::AsSingle() const {
  if (type_ != vbSingle) RaiseTypeMismatch();
  return value_.f32;
}

double Variant::AsDouble() const {
  if (type_ != vbDouble) RaiseTypeMismatch();
  return value_.f64;
}

Currency Variant::AsCurrency() const {
  if (type_ != vbCurrency) RaiseTypeMismatch();
  return Currency::FromScaled(value_.i64);
}

Date Variant::AsDate() const {
  if (type_ != vbDate) RaiseTypeMismatch();
  return Date{value_.f64};
}

std::string_view Variant::AsString() const {
  if (type_ != vbString) RaiseTypeMismatch();
  if (HasHeapString()) return {value_.heap_string.data, value_.heap_string.size};
  return {value_.inline_chars, inline_length_};
}

bool Variant::AsBoolean() const {
  if (type_ != vbBoolean) RaiseTypeMismatch();
  return value_.boolean;
}

std::uint8_t Variant::AsByte() const {
  if (type_ != vbByte) RaiseTypeMismatch();
  return value_.byte;
}

Decimal Variant::AsDecimal() const {
  if (type_ != vbDecimal) RaiseTypeMismatch();
  return value_.decimal;
}

std::int32_t Variant::AsErrorCode() const {
  if (type_ != vbError) RaiseTypeMismatch();
  return value_.i32;
}

const std::shared_ptr<Object>& Variant::AsObject() const {
  if (type_ != vbObject) RaiseTypeMismatch();
  return value_.object;
}

const std::vector<Variant>& Variant::AsArray() const {
  if (!IsArray()) RaiseTypeMismatch();
  return *value_.array.elements;
}

void Variant::AssignString(std::string_view text) {
  if (text.size() <= kInlineStringCapacity) {
    if (!text.empty()) std::memcpy(value_.inline_chars, text.data(), text.size());
    inline_length_ = static_cast<std::uint8_t>(text.size());
  } else {
    char* block = TranslateErrors([&text] { return new char[text.size()]; });
    std::memcpy(block, text.data(), text.size());
    value_.heap_string = HeapString{block, text.size()};
    inline_length_ = kHeapStringMark;
  }
  type_ = vbString;
}

void Variant::Release() noexcept {
  if (type_ == vbObject) {
    value_.object.~shared_ptr();
  } else if (IsArray()) {
    delete value_.array.elements;
  } else if (HasHeapString()) {
    delete[] value_.heap_string.data;
  }
  type_ = vbEmpty;
}

// Expects this Variant to hold nothing that needs releasing.
void Variant::CopyFrom(const Variant& other) {
  if (other.type_ == vbString) {
    AssignString(other.AsString());
  } else if (other.type_ == vbObject) {
    new (&value_.object) std::shared_ptr<Object>(other.value_.object);
    type_ = vbObject;
  } else if (other.IsArray()) {
    const std::vector<Variant>& elements = *other.value_.array.elements;
    value_.array = ArrayBlock{TranslateErrors([&] { return new std::vector<Variant>(elements); }),
                              other.value_.array.depth};
    type_ = other.type_;
  } else {
    CopyBytes(other);
  }
}

bool Identical(const Variant& a, const Variant& b) noexcept {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case vbEmpty:
    case vbNull:
      return true;
    case vbInteger:
      return a.value_.i16 == b.value_.i16;
    case vbLong:
    case vbError:
      return a.value_.i32 == b.value_.i32;
    case vbSingle:
      return a.value_.f32 == b.value_.f32;
    case vbDouble:
    case vbDate:
      return a.value_.f64 == b.value_.f64;
    case vbCurrency:
      return a.value_.i64 == b.value_.i64;
    case vbBoolean:
      return a.value_.boolean == b.value_.boolean;
    case vbByte:
      return a.value_.byte == b.value_.byte;
    case vbDecimal:
      return CompareExact(ExactFromDecimal(a.value_.decimal), ExactFromDecimal(b.value_.decimal)) == 0;
    case vbString:
      return a.AsString() == b.AsString();
    case vbObject:
      return a.value_.object == b.value_.object;
    default:
      return std::equal(a.value_.array.elements->begin(), a.value_.array.elements->end(),
                        b.value_.array.elements->begin(), b.value_.array.elements->end(), Identical);
  }
}

namespace {

void DescribeTo(std::ostream& out, const Variant& value);

void DescribeArray(std::ostream& out, const std::vector<Variant>& elements) {
  out << '{';
  for (std::size_t i = 0; i < elements.size(); ++i) {
    out << (i == 0 ? "" : ", ");
    DescribeTo(out, elements[i]);
  }
  out << '}';
}

void DescribeTo(std::ostream& out, const Variant& value) {
  out << TypeName(value);
  switch (value.Type()) {
    case vbEmpty:
    case vbNull:
    case vbObject:
      return;  // an object's default member is not read for a diagnostic
    case vbString:
      out << " \"" << value.AsString() << '"';
      return;
    case vbError:
      out << ' ' << value.AsErrorCode();
      return;
    default:
      if (value.IsArray()) {
        DescribeArray(out << ' ', value.AsArray());
        return;
      }
      try {
        const std::string text = ConcatText(value);
        out << ' ' << text;
      } catch (const Error& error) {  // a Date out of range has no text
        out << " (error " << error.Number() << ')';
      }
  }
}

}  // namespace

std::string Describe(const Variant& value) {
  return TranslateErrors([&] {
    std::ostringstream out;
    DescribeTo(out, value);
    return out.str();
  });
}

void PrintTo(const Variant& value, std::ostream* out) {
  DescribeTo(*out, value);
}

}  // namespace quenlo
