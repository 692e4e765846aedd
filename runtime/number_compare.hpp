// Exact numbers (integers, Currency, Decimal) and their exact comparison with each other and
// with doubles.
#pragma once

#include <cstdint>

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

/// -1, 0 or 1 as a is less than, equal to or greater than b.
int CompareExact(const ExactNumber& a, const ExactNumber& b) noexcept;

/// -1, 0 or 1 as d is less than, equal to or greater than x; 2 when d is NaN.
int CompareDoubleWithExact(double d, const ExactNumber& x) noexcept;

inline constexpr int kUnordered = 2;

}  // namespace quenlo
