// Number texts, both ways. Writing appends straight to the output from stack buffers;
// reading splits the text in place and converts exactly (std::from_chars for binary floating
// point, decimal digit arithmetic for integers, Currency and Decimal).
#include "runtime/number_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

#include "quenlo/error.hpp"

namespace quenlo {

namespace {

constexpr std::int64_t kExponentCap = 1'000'000'000;
constexpr UInt128 kDecimalMagnitudeLimit = (UInt128{1} << 96) - 1;
constexpr int kMaxDecimalScale = 28;

[[noreturn]] void RaiseOverflow() {
  RaiseRuntimeError(err::kOverflow);
}

// ---- Writing ---------------------------------------------------------------------------

// The digits and decimal exponent of a floating-point value's shortest round-trip text:
// value = 0.d1 d2 ... dn * 10^(exponent + 1), that is d1 stands at 10^exponent.
struct ShortestDigits {
  char digits[24];
  int count = 0;
  int exponent = 0;
  bool negative = false;
};

template <class Float>
ShortestDigits ShortestDigitsOf(Float value) noexcept {
  char scientific[48];
  const auto end =
      std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific).ptr;
  ShortestDigits result;
  const char* p = scientific;
  if (*p == '-') {
    result.negative = true;
    ++p;
  }
  int count = 0;  // a local counter: stores to the char array would force reloads of a member
  for (; *p != 'e'; ++p) {
    if (*p != '.') result.digits[count++] = *p;
  }
  result.count = count;
  ++p;  // 'e'
  const bool negative_exponent = *p == '-';
  int exponent = 0;
  for (++p; p != end; ++p) exponent = exponent * 10 + (*p - '0');
  result.exponent = negative_exponent ? -exponent : exponent;
  return result;
}

char* WritePlain(char* p, const ShortestDigits& d) {
  if (d.exponent < 0) {
    *p++ = '0';
    *p++ = '.';
    p = std::fill_n(p, -d.exponent - 1, '0');
    return std::copy_n(d.digits, d.count, p);
  }
  const int integer_count = d.exponent + 1;
  if (d.count <= integer_count) {
    p = std::copy_n(d.digits, d.count, p);
    return std::fill_n(p, integer_count - d.count, '0');
  }
  p = std::copy_n(d.digits, integer_count, p);
  *p++ = '.';
  return std::copy_n(d.digits + integer_count, d.count - integer_count, p);
}

char* WriteScientific(char* p, const ShortestDigits& d) {
  *p++ = d.digits[0];
  if (d.count > 1) {
    *p++ = '.';
    p = std::copy_n(d.digits + 1, d.count - 1, p);
  }
  *p++ = 'E';
  *p++ = d.exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(d.exponent);
  if (magnitude < 10) *p++ = '0';
  return std::to_chars(p, p + 4, magnitude).ptr;
}

// The shortest text of a double with at most kMaxQuickDecimals decimals, from 0.0001 to 2^40 /
// 10^decimals, written without the general shortest-digits search: the first count of decimals
// k at which round(|value| * 10^k) / 10^k gives |value| back is that text (the division of two
// exact doubles rounds as reading the text does, and within these bounds only one text of k
// decimals lies close enough to round to the value). False, with nothing written, for any
// other value.
constexpr int kMaxQuickDecimals = 6;
constexpr std::array<double, kMaxQuickDecimals + 1> kPowersOfTen = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
constexpr double kQuickLimit = 0x1p40;

bool AppendShortDecimalText(std::string& out, double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-4)) return false;
  for (int decimals = 0; decimals <= kMaxQuickDecimals; ++decimals) {
    const double scale = kPowersOfTen[static_cast<std::size_t>(decimals)];
    const double scaled = magnitude * scale;
    if (scaled >= kQuickLimit) return false;
    // Adding a half is exact below 2^40, so truncating it rounds to the nearest.
    const double rounded = static_cast<double>(static_cast<std::uint64_t>(scaled + 0.5));
    if (rounded / scale != magnitude) continue;
    const auto digits = static_cast<std::uint64_t>(rounded);
    const auto unit = static_cast<std::uint64_t>(scale);
    char text[32];
    char* p = text;
    if (value < 0) *p++ = '-';
    p = std::to_chars(p, text + sizeof text, digits / unit).ptr;
    if (decimals > 0) {
      *p++ = '.';
      char fraction[8];
      char* fraction_end = std::to_chars(fraction, fraction + sizeof fraction, digits % unit).ptr;
      const auto fraction_count = static_cast<int>(fraction_end - fraction);
      p = std::fill_n(p, decimals - fraction_count, '0');
      p = std::copy(fraction, fraction_end, p);
    }
    out.append(text, p);
    return true;
  }
  return false;
}

template <class Float>
void AppendFloatingText(std::string& out, Float value, int max_plain_exponent) {
  if (std::isnan(value)) {
    out += "NaN";
  } else if (std::isinf(value)) {
    out += value < 0 ? "-Infinity" : "Infinity";
  } else if (value == 0) {
    out += '0';  // negative zero too
  } else {
    const ShortestDigits d = ShortestDigitsOf(value);
    char text[64];
    char* p = text;
    if (d.negative) *p++ = '-';
    const bool plain = d.exponent >= -4 && d.exponent <= max_plain_exponent;
    p = plain ? WritePlain(p, d) : WriteScientific(p, d);
    out.append(text, p);
  }
}

// Writes the decimal digits of a magnitude, returning the end. 128-bit division is a library
// call, so the digits go through 64-bit halves.
char* WriteMagnitude(char* p, UInt128 magnitude) {
  constexpr std::uint64_t kTenToNineteen = 10'000'000'000'000'000'000u;
  if (magnitude <= std::numeric_limits<std::uint64_t>::max()) {
    return std::to_chars(p, p + 20, static_cast<std::uint64_t>(magnitude)).ptr;
  }
  p = std::to_chars(p, p + 20, static_cast<std::uint64_t>(magnitude / kTenToNineteen)).ptr;
  char low[20];
  char* low_end =
      std::to_chars(low, low + sizeof low, static_cast<std::uint64_t>(magnitude % kTenToNineteen)).ptr;
  const auto low_count = static_cast<int>(low_end - low);
  p = std::fill_n(p, 19 - low_count, '0');
  return std::copy(low, low_end, p);
}

// Writes magnitude / 10^scale in plain notation with trailing fraction zeros dropped.
char* WriteScaled(char* p, bool negative, UInt128 magnitude, int scale) {
  if (magnitude == 0) return std::fill_n(p, 1, '0');
  if (negative) *p++ = '-';
  char digits[40];
  int count = static_cast<int>(WriteMagnitude(digits, magnitude) - digits);
  while (scale > 0 && digits[count - 1] == '0') {
    --count;
    --scale;
  }
  if (count <= scale) {
    *p++ = '0';
    *p++ = '.';
    p = std::fill_n(p, scale - count, '0');
    return std::copy_n(digits, count, p);
  }
  p = std::copy_n(digits, count - scale, p);
  if (scale == 0) return p;
  *p++ = '.';
  return std::copy_n(digits + count - scale, scale, p);
}

// ---- Reading -----------------------------------------------------------------------------

bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

std::string_view TakeDigits(std::string_view text, std::size_t& pos) noexcept {
  const std::size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return text.substr(start, pos - start);
}

// The value of a hexadecimal or octal digit, or -1.
int RadixDigit(char c, int radix) noexcept {
  int digit = radix;
  if (c >= '0' && c <= '9') {
    digit = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    digit = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    digit = c - 'A' + 10;
  }
  return digit < radix ? digit : -1;
}

// "&H1F" and "&O17": a literal that fits 16 bits is an Integer, one that fits 32 bits a Long,
// both in two's complement ("&HFFFF" is -1). Anything larger is kept as a value beyond any
// 32-bit range, which the conversions report as Overflow.
bool ScanRadixLiteral(std::string_view text, NumberText& number) noexcept {
  if (text.size() < 3 || text[0] != '&') return false;
  const char marker = text[1];
  const int radix = (marker == 'H' || marker == 'h') ? 16 : (marker == 'O' || marker == 'o') ? 8 : 0;
  if (radix == 0) return false;
  std::uint64_t value = 0;
  for (const char c : text.substr(2)) {
    const int digit = RadixDigit(c, radix);
    if (digit < 0) return false;
    value =
        std::min<std::uint64_t>(value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit),
                                std::uint64_t{1} << 40);
  }
  number.radix = true;
  if (value <= 0xFFFF) {
    number.radix_value = static_cast<std::int16_t>(value);
  } else if (value <= 0xFFFF'FFFF) {
    number.radix_value = static_cast<std::int32_t>(value);
  } else {
    number.radix_value = static_cast<std::int64_t>(value);
  }
  number.negative = number.radix_value < 0;
  return true;
}

bool ScanExponent(std::string_view text, std::size_t& pos, std::int64_t& exponent) noexcept {
  if (pos == text.size()) return true;
  if (text[pos] != 'e' && text[pos] != 'E') return false;
  ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const std::string_view digits = TakeDigits(text, pos);
  if (digits.empty()) return false;
  std::int64_t value = 0;
  for (const char c : digits) value = std::min(value * 10 + (c - '0'), kExponentCap);
  exponent = negative ? -value : value;
  return pos == text.size();
}

// The digits of a number text seen as one sequence, integer digits first.
class DigitSequence {
 public:
  explicit DigitSequence(const NumberText& number) noexcept
      : integer_(number.integer_digits), fraction_(number.fraction_digits) {}

  std::int64_t Size() const noexcept { return static_cast<std::int64_t>(integer_.size() + fraction_.size()); }
  int At(std::int64_t index) const noexcept {
    if (index < 0 || index >= Size()) return 0;
    const auto i = static_cast<std::size_t>(index);
    return (i < integer_.size() ? integer_[i] : fraction_[i - integer_.size()]) - '0';
  }
  std::int64_t FirstNonZero() const noexcept {
    for (std::int64_t i = 0; i < Size(); ++i) {
      if (At(i) != 0) return i;
    }
    return -1;
  }
  bool AnyNonZeroFrom(std::int64_t index) const noexcept {
    for (std::int64_t i = std::max<std::int64_t>(index, 0); i < Size(); ++i) {
      if (At(i) != 0) return true;
    }
    return false;
  }
  // Digit i stands at 10^(IntegerCount() - 1 - i), before the exponent.
  std::int64_t IntegerCount() const noexcept { return static_cast<std::int64_t>(integer_.size()); }

 private:
  std::string_view integer_;
  std::string_view fraction_;
};

// The number of integer digits of |number| counted from its first non-zero digit (negative or
// zero for a value below 1); nothing for zero.
std::optional<std::int64_t> IntegerDigitsOf(const NumberText& number) noexcept {
  const DigitSequence digits(number);
  const std::int64_t first = digits.FirstNonZero();
  if (first < 0) return std::nullopt;
  return digits.IntegerCount() - first + number.exponent;
}

template <class Float>
Float FloatingFromNumber(const NumberText& number) {
  if (number.radix) {
    if (!std::in_range<std::int32_t>(number.radix_value)) RaiseOverflow();
    return static_cast<Float>(number.radix_value);
  }
  Float value = 0;
  const auto text = number.unsigned_text;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large, or so small that it is zero.
    if (IntegerDigitsOf(number).value_or(0) > 0) RaiseOverflow();
    value = 0;
  }
  return number.negative ? -value : value;
}

// number * 10^scale rounded half to even, raising Overflow outside min..max (min <= 0).
std::int64_t SignedFromNumber(const NumberText& number, int scale, std::int64_t min, std::int64_t max) {
  const UInt128 limit = number.negative ? ExactFromInteger(min).magnitude : static_cast<UInt128>(max);
  const auto magnitude = RoundedMagnitude(number, scale, limit);
  if (!magnitude) RaiseOverflow();
  const auto bits = static_cast<std::uint64_t>(*magnitude);
  return static_cast<std::int64_t>(number.negative ? 0 - bits : bits);
}

}  // namespace

std::string_view TrimSpaces(std::string_view text) noexcept {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void AppendIntegerText(std::string& out, std::int64_t value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendDoubleText(std::string& out, double value) {
  if (!AppendShortDecimalText(out, value)) AppendFloatingText(out, value, 14);
}

void AppendSingleText(std::string& out, float value) {
  AppendFloatingText(out, value, 6);
}

void AppendCurrencyText(std::string& out, Currency value) {
  const ExactNumber x = ExactFromCurrency(value);
  char text[32];
  out.append(text, WriteScaled(text, x.negative, x.magnitude, x.scale));
}

void AppendDecimalText(std::string& out, const Decimal& value) {
  char text[72];
  out.append(text, WriteScaled(text, value.negative, ExactFromDecimal(value).magnitude, value.scale));
}

bool ScanNumber(std::string_view text, NumberText& number) noexcept {
  text = TrimSpaces(text);
  number = NumberText{};
  if (ScanRadixLiteral(text, number)) return true;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) number.negative = text[pos++] == '-';
  number.unsigned_text = text.substr(pos);
  number.integer_digits = TakeDigits(text, pos);
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    number.fraction_digits = TakeDigits(text, pos);
  }
  if (number.integer_digits.empty() && number.fraction_digits.empty()) return false;
  return ScanExponent(text, pos, number.exponent);
}

std::optional<UInt128> RoundedMagnitude(const NumberText& number, int scale, UInt128 limit) noexcept {
  if (number.radix) {
    const UInt128 magnitude = ExactFromInteger(number.radix_value).magnitude;
    if (!std::in_range<std::int32_t>(number.radix_value) || magnitude > limit / PowerOfTen(scale)) {
      return std::nullopt;
    }
    return magnitude * PowerOfTen(scale);
  }
  if (number.fraction_digits.empty() && number.exponent == 0 && number.integer_digits.size() <= 19 &&
      scale <= 19) {
    // A plain integer, what the reader meets most: no rounding, and no product beyond 128 bits.
    std::uint64_t value = 0;
    for (const char c : number.integer_digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    const UInt128 scaled = UInt128{value} * PowerOfTen(scale);
    return scaled <= limit ? std::optional<UInt128>(scaled) : std::nullopt;
  }
  const DigitSequence digits(number);
  const std::int64_t first = digits.FirstNonZero();
  if (first < 0) return UInt128{0};
  // Digits first .. first + whole - 1 form the integer part of |number| * 10^scale.
  const std::int64_t whole = digits.IntegerCount() - first + number.exponent + scale;
  if (whole > 39) return std::nullopt;
  UInt128 value = 0;
  for (std::int64_t k = 0; k < whole; ++k) {
    value = value * 10 + static_cast<unsigned>(digits.At(first + k));
    if (value > limit) return std::nullopt;
  }
  if (whole >= 0) {
    const int next = digits.At(first + whole);
    const bool above_half = next > 5 || (next == 5 && digits.AnyNonZeroFrom(first + whole + 1));
    if (above_half || (next == 5 && value % 2 == 1)) ++value;
  }
  if (value > limit) return std::nullopt;
  return value;
}

double DoubleFromNumber(const NumberText& number) {
  return FloatingFromNumber<double>(number);
}

float SingleFromNumber(const NumberText& number) {
  return FloatingFromNumber<float>(number);
}

std::int64_t IntegralFromNumber(const NumberText& number, std::int64_t min, std::int64_t max) {
  return SignedFromNumber(number, 0, min, max);
}

Currency CurrencyFromNumber(const NumberText& number) {
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  return Currency::FromScaled(SignedFromNumber(number, 4, kMin, kMax));
}

Decimal DecimalFromNumber(const NumberText& number) {
  if (number.radix) {
    if (!std::in_range<std::int32_t>(number.radix_value)) RaiseOverflow();
    return DecimalFromExact(ExactFromInteger(number.radix_value));
  }
  const auto integer_digits = IntegerDigitsOf(number);
  if (!integer_digits) return Decimal{};
  if (*integer_digits > 29) RaiseOverflow();
  // Keep as many fraction digits as the text has, at most 28, and fewer while the
  // mantissa does not fit 96 bits.
  const DigitSequence digits(number);
  const std::int64_t significant = digits.Size() - digits.FirstNonZero();
  int scale = static_cast<int>(std::clamp<std::int64_t>(significant - *integer_digits, 0, kMaxDecimalScale));
  for (;; --scale) {
    if (const auto magnitude = RoundedMagnitude(number, scale, kDecimalMagnitudeLimit)) {
      return DecimalFromExact(ExactNumber{*magnitude, scale, number.negative});
    }
    if (scale == 0) RaiseOverflow();
  }
}

Decimal DecimalFromExact(ExactNumber number) noexcept {
  if (number.scale > kMaxDecimalScale) {
    const int excess = number.scale - kMaxDecimalScale;
    number.magnitude = excess > 38 ? 0 : DivideRoundingHalfEven(number.magnitude, PowerOfTen(excess));
    number.scale = kMaxDecimalScale;
  }
  while (number.scale > 0 && number.magnitude % 10 == 0) {
    number.magnitude /= 10;
    --number.scale;
  }
  Decimal result;
  result.lo = static_cast<std::uint64_t>(number.magnitude);
  result.hi = static_cast<std::uint32_t>(number.magnitude >> 64);
  result.scale = static_cast<std::uint8_t>(number.scale);
  result.negative = number.negative && number.magnitude != 0;
  return result;
}

double DecimalToDouble(const Decimal& value) noexcept {
  char text[72];
  const char* end = WriteScaled(text, value.negative, ExactFromDecimal(value).magnitude, value.scale);
  double result = 0;
  std::from_chars(text, end, result);
  return result;
}

float DecimalToSingle(const Decimal& value) {
  char text[72];
  const char* end = WriteScaled(text, value.negative, ExactFromDecimal(value).magnitude, value.scale);
  float result = 0;
  if (std::from_chars(text, end, result).ec == std::errc::result_out_of_range) RaiseOverflow();
  return result;
}

}  // namespace quenlo
