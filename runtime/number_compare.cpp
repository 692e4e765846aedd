// Exact comparison of integers, Currency, Decimal and doubles.
#include "runtime/number_compare.hpp"

#include <array>
#include <bit>
#include <cmath>

namespace quenlo {

namespace {

constexpr std::array<UInt128, 39> kPowersOfTen = [] {
  std::array<UInt128, 39> powers{};
  powers[0] = 1;
  for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}();

constexpr std::array<UInt128, 29> kPowersOfFive = [] {
  std::array<UInt128, 29> powers{};
  powers[0] = 1;
  for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 5;
  return powers;
}();

UInt128 PowerOfFive(int exponent) noexcept {
  return kPowersOfFive[static_cast<std::size_t>(exponent)];
}

int BitLength(UInt128 value) noexcept {
  const auto high = static_cast<std::uint64_t>(value >> 64);
  if (high != 0) return 128 - std::countl_zero(high);
  return 64 - std::countl_zero(static_cast<std::uint64_t>(value));
}

int SignOf(const ExactNumber& x) noexcept {
  if (x.magnitude == 0) return 0;
  return x.negative ? -1 : 1;
}

int CompareMagnitudes(UInt128 a, UInt128 b) noexcept {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Compares a * 10^shift with b, where 10^shift may push a past 128 bits (then a is larger).
int CompareScaled(UInt128 a, int shift, UInt128 b) noexcept {
  const UInt128 factor = PowerOfTen(shift);
  if (a > ~UInt128{0} / factor) return 1;
  return CompareMagnitudes(a * factor, b);
}

// Compares |d| (finite, not zero) with magnitude / 10^scale (magnitude not zero).
int CompareDoubleMagnitude(double d, UInt128 magnitude, int scale) noexcept {
  if (std::isinf(d) || d >= 0x1p100) return 1;  // every exact number is below 2^96
  int exponent = 0;
  const double fraction = std::frexp(d, &exponent);
  // d = mantissa * 2^(exponent - 53), so d * 10^scale = mantissa * 5^scale * 2^(exponent - 53 + scale).
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  const UInt128 product = UInt128{mantissa} * PowerOfFive(scale);
  const int shift = exponent - 53 + scale;
  if (shift >= 0) {
    if (BitLength(product) + shift > 127) return 1;
    return CompareMagnitudes(product << shift, magnitude);
  }
  const int right = -shift;
  const UInt128 whole = right >= 128 ? 0 : product >> right;
  const bool exact = right < 128 && (whole << right) == product;
  const int order = CompareMagnitudes(whole, magnitude);
  if (order != 0) return order;
  return exact ? 0 : 1;
}

}  // namespace

UInt128 PowerOfTen(int exponent) noexcept {
  return kPowersOfTen[static_cast<std::size_t>(exponent)];
}

UInt128 DivideRoundingHalfEven(UInt128 value, UInt128 divisor) noexcept {
  UInt128 quotient = value / divisor;
  const UInt128 rest = value % divisor;
  const UInt128 other_part = divisor - rest;
  if (rest > other_part || (rest == other_part && quotient % 2 == 1)) ++quotient;
  return quotient;
}

ExactNumber ExactFromInteger(std::int64_t value) noexcept {
  const bool negative = value < 0;
  const auto magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return ExactNumber{magnitude, 0, negative};
}

ExactNumber ExactFromCurrency(Currency value) noexcept {
  ExactNumber x = ExactFromInteger(value.scaled);
  x.scale = 4;
  return x;
}

ExactNumber ExactFromDecimal(const Decimal& value) noexcept {
  return ExactNumber{(UInt128{value.hi} << 64) | value.lo, value.scale, value.negative};
}

std::strong_ordering CompareExact(const ExactNumber& a, const ExactNumber& b) noexcept {
  const int sign_a = SignOf(a);
  const int sign_b = SignOf(b);
  if (sign_a != sign_b || sign_a == 0) return sign_a <=> sign_b;
  const int order = a.scale <= b.scale ? CompareScaled(a.magnitude, b.scale - a.scale, b.magnitude)
                                       : -CompareScaled(b.magnitude, a.scale - b.scale, a.magnitude);
  return sign_a * order <=> 0;
}

std::partial_ordering CompareDoubleWithExact(double d, const ExactNumber& x) noexcept {
  if (std::isnan(d)) return std::partial_ordering::unordered;
  const int sign_d = d > 0 ? 1 : (d < 0 ? -1 : 0);
  const int sign_x = SignOf(x);
  if (sign_d != sign_x || sign_d == 0) return sign_d <=> sign_x;
  return sign_d * CompareDoubleMagnitude(std::fabs(d), x.magnitude, x.scale) <=> 0;
}

std::optional<ExactNumber> ExactOf(const Variant& value) noexcept {
  switch (value.Type()) {
    case vbEmpty:
      return ExactNumber{};
    case vbInteger:
      return ExactFromInteger(value.AsInteger());
    case vbLong:
      return ExactFromInteger(value.AsLong());
    case vbByte:
      return ExactFromInteger(value.AsByte());
    case vbBoolean:
      return ExactFromInteger(value.AsBoolean() ? -1 : 0);
    case vbCurrency:
      return ExactFromCurrency(value.AsCurrency());
    case vbDecimal:
      return ExactFromDecimal(value.AsDecimal());
    default:
      return std::nullopt;
  }
}

std::optional<double> FloatingOf(const Variant& value) noexcept {
  switch (value.Type()) {
    case vbSingle:
      return value.AsSingle();
    case vbDouble:
      return value.AsDouble();
    case vbDate:
      return value.AsDate().serial;
    default:
      return std::nullopt;
  }
}

}  // namespace quenlo
