// Exact numbers (integers, Currency, Decimal) and their exact comparison with each other and
// with doubles.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>

#include "quenlo/variant.hpp"

namespace quenlo {

__extension__ using UInt128 = unsigned __int128;

/// A number of the form (-1)^negative * magnitude / 10^scale, magnitude below 2^96 or an
/// int64's, scale 0..28.
struct ExactNumber {
  UInt128 magnitude = 0;
  int scale = 0;
  bool negative = false;
};

ExactNumber ExactFromInteger(std::int64_t value) noexcept;
ExactNumber ExactFromCurrency(Currency value) noexcept;
ExactNumber ExactFromDecimal(const Decimal& value) noexcept;

/// The power of ten 10^exponent for exponent 0..38.
UInt128 PowerOfTen(int exponent) noexcept;

/// value / divisor rounded half to even.
UInt128 DivideRoundingHalfEven(UInt128 value, UInt128 divisor) noexcept;

std::strong_ordering CompareExact(const ExactNumber& a, const ExactNumber& b) noexcept;

/// The order of d and x; unordered when d is NaN.
std::partial_ordering CompareDoubleWithExact(double d, const ExactNumber& x) noexcept;

/// A value held as an exact number: integers, Boolean (True is -1), Currency, Decimal, Empty.
std::optional<ExactNumber> ExactOf(const Variant& value) noexcept;

/// A value held as binary floating point: Single, Double and Date (its serial).
std::optional<double> FloatingOf(const Variant& value) noexcept;

}  // namespace quenlo
