// Type information, text of values, and conversions between types and from text.
#include "quenlo/conversion.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "runtime/characters.hpp"
#include "runtime/date_text.hpp"
#include "runtime/number_text.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

[[noreturn]] void Raise(std::int32_t number) {
  RaiseRuntimeError(number);
}

NumberText ScanOrRaise(std::string_view text) {
  NumberText number;
  if (!ScanNumber(text, number)) Raise(err::kTypeMismatch);
  return number;
}

// The text of a stored number is nearly always plain: an optional "-" and digits, for a
// fraction a point and more digits. Such a text is read directly; any other text (spaces, an
// exponent, "&H", a value out of range) takes the general path, which reads plain texts to the
// same values.
std::optional<std::int64_t> PlainInteger(std::string_view text) noexcept {
  const std::string_view digits = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  std::int64_t magnitude = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return std::nullopt;
    magnitude = magnitude * 10 + (digit - '0');
  }
  return digits.size() < text.size() ? -magnitude : magnitude;
}

std::int64_t IntegralFromText(std::string_view text, std::int64_t min, std::int64_t max) {
  if (const auto plain = PlainInteger(text); plain && *plain >= min && *plain <= max) return *plain;
  return IntegralFromNumber(ScanOrRaise(text), min, max);
}

bool IsPlainFraction(std::string_view text) noexcept {
  std::size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
  const std::size_t integer_start = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == integer_start) return false;
  if (at == text.size()) return true;
  if (text[at] != '.' || ++at == text.size()) return false;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  return at == text.size();
}

// The value a conversion works on: an object is read through its default member, a Null
// raises Invalid use of Null, and values without a number or text raise Type mismatch.
const Variant& ConvertibleValue(const Variant& value, Variant& holder) {
  const Variant* plain = &value;
  if (value.IsObject()) {
    holder = DefaultValue(value);
    plain = &holder;
  }
  if (plain->IsNull()) Raise(err::kInvalidUseOfNull);
  if (plain->IsArray() || plain->Type() == vbError) Raise(err::kTypeMismatch);
  return *plain;
}

// An exact number rounded half to even to an integer in min..max, else Overflow.
std::int64_t RoundExact(const ExactNumber& x, std::int64_t min, std::int64_t max) {
  const UInt128 whole = DivideRoundingHalfEven(x.magnitude, PowerOfTen(x.scale));
  const UInt128 limit = x.negative ? ExactFromInteger(min).magnitude : static_cast<UInt128>(max);
  if (whole > limit) Raise(err::kOverflow);
  const auto bits = static_cast<std::uint64_t>(whole);
  return static_cast<std::int64_t>(x.negative ? 0 - bits : bits);
}

std::int64_t RoundFloating(double value, std::int64_t min, std::int64_t max) {
  const double rounded = std::nearbyint(value);  // the default rounding mode: half to even
  // max + 1 is a power of two, exact as a double also where max itself is not (INT64_MAX).
  if (!(rounded >= static_cast<double>(min) && rounded < static_cast<double>(max) + 1.0))
    Raise(err::kOverflow);
  return static_cast<std::int64_t>(rounded);
}

std::int64_t IntegralOf(const Variant& source, std::int64_t min, std::int64_t max) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (const auto exact = ExactOf(value)) return RoundExact(*exact, min, max);
  if (const auto floating = FloatingOf(value)) return RoundFloating(*floating, min, max);
  return IntegralFromNumber(ScanOrRaise(value.AsString()), min, max);
}

// The shortest text of a binary floating-point value read as a decimal number, so that
// 0.1 converts to the Currency or Decimal 0.1.
template <class Convert>
auto FromFloatingText(const Variant& value, double floating, Convert convert) {
  if (!std::isfinite(floating)) Raise(err::kOverflow);
  std::string text;
  if (value.Type() == vbSingle) {
    AppendSingleText(text, value.AsSingle());
  } else {
    AppendDoubleText(text, floating);
  }
  return convert(ScanOrRaise(text));
}

bool BooleanFromNumber(const NumberText& number) {
  return DoubleFromNumber(number) != 0;
}

}  // namespace

// ---- Type information ----------------------------------------------------------------

int VarType(const Variant& value) noexcept {
  return value.Type();
}

namespace {

std::string TypeNameOf(const Variant& value) {
  switch (value.Type()) {
    case vbEmpty:
      return "Empty";
    case vbNull:
      return "Null";
    case vbInteger:
      return "Integer";
    case vbLong:
      return "Long";
    case vbSingle:
      return "Single";
    case vbDouble:
      return "Double";
    case vbCurrency:
      return "Currency";
    case vbDate:
      return "Date";
    case vbString:
      return "String";
    case vbError:
      return "Error";
    case vbBoolean:
      return "Boolean";
    case vbDecimal:
      return "Decimal";
    case vbByte:
      return "Byte";
    case vbObject:
      return value.IsNothing() ? "Nothing" : std::string(value.AsObject()->ClassName());
    default:
      return "Variant()";
  }
}

}  // namespace

std::string TypeName(const Variant& value) {
  return TranslateErrors([&value] { return TypeNameOf(value); });
}

bool IsNumeric(const Variant& value) noexcept {
  if (ExactOf(value) || (FloatingOf(value) && value.Type() != vbDate)) return true;
  if (!value.IsString()) return false;
  NumberText number;
  if (!ScanNumber(value.AsString(), number)) return false;
  try {
    DoubleFromNumber(number);
    return true;
  } catch (const Error&) {
    return false;
  }
}

bool IsDate(const Variant& value) noexcept {
  return value.Type() == vbDate || (value.IsString() && DateSerialFromText(value.AsString()).has_value());
}

bool IsArray(const Variant& value) noexcept {
  return value.IsArray();
}

bool IsObject(const Variant& value) noexcept {
  return value.IsObject();
}

// ---- Text of values --------------------------------------------------------------------

namespace {

// AppendText without the translation of allocation failures, which AppendText does once.
void AppendTextOf(std::string& out, const Variant& value) {
  switch (value.Type()) {
    case vbEmpty:
    case vbNull:
      return;
    case vbInteger:
      return AppendIntegerText(out, value.AsInteger());
    case vbLong:
      return AppendIntegerText(out, value.AsLong());
    case vbByte:
      return AppendIntegerText(out, value.AsByte());
    case vbSingle:
      return AppendSingleText(out, value.AsSingle());
    case vbDouble:
      return AppendDoubleText(out, value.AsDouble());
    case vbCurrency:
      return AppendCurrencyText(out, value.AsCurrency());
    case vbDecimal:
      return AppendDecimalText(out, value.AsDecimal());
    case vbDate:
      return AppendDateText(out, value.AsDate().serial);
    case vbString:
      out += value.AsString();
      return;
    case vbBoolean:
      out += value.AsBoolean() ? "True" : "False";
      return;
    case vbError:
      out += "Error ";
      return AppendIntegerText(out, value.AsErrorCode());
    case vbObject:
      return AppendTextOf(out, DefaultValue(value));
    default:
      Raise(err::kTypeMismatch);
  }
}

}  // namespace

void AppendText(std::string& out, const Variant& value) {
  TranslateErrors([&] { AppendTextOf(out, value); });
}

std::string ConcatText(const Variant& value) {
  std::string text;
  AppendText(text, value);
  return text;
}

std::string CStr(const Variant& value) {
  if (value.IsObject()) return CStr(DefaultValue(value));
  if (value.IsNull()) Raise(err::kInvalidUseOfNull);
  return ConcatText(value);
}

std::size_t FirstCharacterSize(std::string_view text) noexcept {
  return text.empty() ? 0 : DecodeUtf8(text).size;
}

std::int32_t CharacterCount(std::string_view text) noexcept {
  std::int32_t count = 0;
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    text.remove_prefix(byte < 0x80 ? 1 : FirstCharacterSize(text));
    ++count;
  }
  return count;
}

// ---- Conversions between types ------------------------------------------------------------

std::int16_t CInt(const Variant& value) {
  return static_cast<std::int16_t>(IntegralOf(value, INT16_MIN, INT16_MAX));
}

std::int32_t CLng(const Variant& value) {
  return static_cast<std::int32_t>(IntegralOf(value, INT32_MIN, INT32_MAX));
}

std::int64_t typed_access::Int64Of(const Variant& value) {
  return IntegralOf(value, INT64_MIN, INT64_MAX);
}

std::uint64_t typed_access::UInt64Of(const Variant& value) {
  return static_cast<std::uint64_t>(IntegralOf(value, 0, INT64_MAX));
}

std::uint8_t CByte(const Variant& value) {
  return static_cast<std::uint8_t>(IntegralOf(value, 0, UINT8_MAX));
}

double CDbl(const Variant& source) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (const auto floating = FloatingOf(value)) return *floating;
  if (value.IsString()) return DoubleFromText(value.AsString());
  if (value.Type() == vbCurrency)
    return DecimalToDouble(DecimalFromExact(ExactFromCurrency(value.AsCurrency())));
  return DecimalToDouble(DecimalFromExact(*ExactOf(value)));
}

float CSng(const Variant& source) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (value.Type() == vbSingle) return value.AsSingle();
  if (const auto floating = FloatingOf(value)) {
    if (std::isfinite(*floating) && std::fabs(*floating) > FLT_MAX) Raise(err::kOverflow);
    return static_cast<float>(*floating);
  }
  if (value.IsString()) return SingleFromText(value.AsString());
  return DecimalToSingle(DecimalFromExact(*ExactOf(value)));
}

Currency CCur(const Variant& source) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (value.Type() == vbCurrency) return value.AsCurrency();
  if (const auto floating = FloatingOf(value)) return FromFloatingText(value, *floating, CurrencyFromNumber);
  if (value.IsString()) return CurrencyFromText(value.AsString());
  const ExactNumber exact = *ExactOf(value);  // an integer or a Decimal
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  const ExactNumber scaled_up{exact.magnitude * PowerOfTen(4), exact.scale, exact.negative};
  return Currency::FromScaled(RoundExact(scaled_up, kMin, kMax));
}

Decimal CDec(const Variant& source) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (const auto floating = FloatingOf(value)) return FromFloatingText(value, *floating, DecimalFromNumber);
  if (value.IsString()) return DecimalFromText(value.AsString());
  return DecimalFromExact(*ExactOf(value));
}

Date CDate(const Variant& source) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (value.Type() == vbDate) return value.AsDate();
  if (value.IsString()) return DateFromText(value.AsString());
  const double serial = CDbl(value);
  if (!IsDateSerialInRange(serial)) Raise(err::kOverflow);
  return Date{serial};
}

bool CBool(const Variant& source) {
  Variant holder;
  const Variant& value = ConvertibleValue(source, holder);
  if (value.Type() == vbBoolean) return value.AsBoolean();
  if (value.IsString()) return BooleanFromText(value.AsString());
  if (const auto floating = FloatingOf(value)) return *floating != 0;
  return ExactOf(value)->magnitude != 0;
}

// ---- Conversions from text ----------------------------------------------------------------

std::int16_t IntegerFromText(std::string_view text) {
  return static_cast<std::int16_t>(IntegralFromText(text, INT16_MIN, INT16_MAX));
}

std::int32_t LongFromText(std::string_view text) {
  return static_cast<std::int32_t>(IntegralFromText(text, INT32_MIN, INT32_MAX));
}

std::uint8_t ByteFromText(std::string_view text) {
  return static_cast<std::uint8_t>(IntegralFromText(text, 0, UINT8_MAX));
}

float SingleFromText(std::string_view text) {
  return SingleFromNumber(ScanOrRaise(text));
}

double DoubleFromText(std::string_view text) {
  if (IsPlainFraction(text)) {
    double value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc()) return value;
  }
  return DoubleFromNumber(ScanOrRaise(text));
}

Currency CurrencyFromText(std::string_view text) {
  return CurrencyFromNumber(ScanOrRaise(text));
}

Decimal DecimalFromText(std::string_view text) {
  return DecimalFromNumber(ScanOrRaise(text));
}

Date DateFromText(std::string_view text) {
  const auto serial = DateSerialFromText(text);
  if (!serial) Raise(err::kTypeMismatch);
  return Date{*serial};
}

bool BooleanFromText(std::string_view text) {
  const std::string_view trimmed = TrimSpaces(text);
  if (EqualsIgnoringCase(trimmed, "true")) return true;
  if (EqualsIgnoringCase(trimmed, "false")) return false;
  return BooleanFromNumber(ScanOrRaise(trimmed));
}

}  // namespace quenlo
