// Number texts: the shortest round-trip texts of doubles and singles, the texts of Currency
// and Decimal values, and the exact reading of number texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quenlo/variant.hpp"
#include "runtime/number_compare.hpp"

namespace quenlo {

/// The text without the spaces (U+0020) at its start and end.
std::string_view TrimSpaces(std::string_view text) noexcept;

void AppendIntegerText(std::string& out, std::int64_t value);
void AppendDoubleText(std::string& out, double value);
void AppendSingleText(std::string& out, float value);
void AppendCurrencyText(std::string& out, Currency value);
void AppendDecimalText(std::string& out, const Decimal& value);

/// A number text split into its parts, without copying: sign, integer digits, fraction
/// digits and exponent, or the value of an "&H" / "&O" literal.
struct NumberText {
  bool negative = false;
  bool radix = false;  // "&H1F" or "&O17": the value is radix_value
  std::int64_t radix_value = 0;
  std::string_view integer_digits;
  std::string_view fraction_digits;
  std::int64_t exponent = 0;       // saturated far beyond any representable value
  std::string_view unsigned_text;  // digits, point and exponent without the sign
};

/// Splits a number text, spaces around it ignored. False when the text is not a number.
bool ScanNumber(std::string_view text, NumberText& number) noexcept;

/// |number| * 10^scale rounded half to even, or nothing when that exceeds limit.
std::optional<UInt128> RoundedMagnitude(const NumberText& number, int scale, UInt128 limit) noexcept;

// Each raises Overflow (6) for a value out of the target's range.
double DoubleFromNumber(const NumberText& number);
float SingleFromNumber(const NumberText& number);
Decimal DecimalFromNumber(const NumberText& number);
std::int64_t IntegralFromNumber(const NumberText& number, std::int64_t min, std::int64_t max);
Currency CurrencyFromNumber(const NumberText& number);

/// The nearest double and single of a Decimal.
double DecimalToDouble(const Decimal& value) noexcept;
float DecimalToSingle(const Decimal& value);

/// The Decimal of an exact number (magnitude below 2^96), trailing fraction zeros dropped and
/// a scale beyond 28 rounded away.
Decimal DecimalFromExact(ExactNumber number) noexcept;

}  // namespace quenlo
