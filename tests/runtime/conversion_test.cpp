// Texts of values, conversions from text and between types, type tests and comparison.
#include "quenlo/conversion.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::ErrorNumberOf;

// Each input, expected pair of the arguments: `convert` turns the input into the expected result.
void ExpectConverted(auto) {}
void ExpectConverted(auto convert, const auto& input, const auto& expected, const auto&... rest) {
  EXPECT_EQ(convert(input), expected) << ::testing::PrintToString(input);
  ExpectConverted(convert, rest...);
}

// Each input makes `convert` raise `number`.
void ExpectErrors(std::int32_t number, auto convert, const auto&... inputs) {
  const auto check = [&](const auto& input) {
    EXPECT_EQ(ErrorNumberOf([&] { convert(input); }), number) << ::testing::PrintToString(input);
  };
  (check(inputs), ...);
}

// `compare` answers `expected` for each pair of values a1, b1, a2, b2, ...
void ExpectComparisons(auto, std::optional<bool>) {}
void ExpectComparisons(auto compare, std::optional<bool> expected, const Variant& a, const Variant& b,
                       const auto&... rest) {
  EXPECT_EQ(compare(a, b), expected) << a << " vs " << b;
  ExpectComparisons(compare, expected, rest...);
}

// Every two of `values` are equal, both ways round.
void ExpectAllEqual(std::initializer_list<Variant> values) {
  for (const Variant& a : values)
    for (const Variant& b : values) EXPECT_EQ(CompareEqual(a, b), true) << a << " = " << b;
}

// Each of `values` is below every later one, and neither equal to nor above it.
void ExpectAscending(std::initializer_list<Variant> values) {
  for (auto a = values.begin(); a != values.end(); ++a) {
    for (auto b = a + 1; b != values.end(); ++b) {
      EXPECT_EQ(CompareLess(*a, *b), true) << *a << " < " << *b;
      EXPECT_EQ(CompareLessEqual(*b, *a), false) << *b << " <= " << *a;
      EXPECT_EQ(CompareEqual(*a, *b), false) << *a << " = " << *b;
    }
  }
}

using testing::Holding;

class Bare : public Object {};

TEST(TextOfValuesTest, NumbersTakeTheirShortestExactText) {
  const double inf = std::numeric_limits<double>::infinity();
  ExpectConverted(ConcatText, 0.1, "0.1", 1.0 / 3.0, "0.3333333333333333", 100.0, "100", 123456789012345.0,
                  "123456789012345", 1e15, "1E+15", 0.0001, "0.0001", 1e-5, "1E-05", -0.0, "0", DBL_MAX,
                  "1.7976931348623157E+308", 5e-324, "5E-324", std::nan(""), "NaN", -inf, "-Infinity", inf,
                  "Infinity", 0.1f, "0.1", 1234567.0f, "1234567", 12345678.0f, "1.2345678E+07", 3.4028235e38f,
                  "3.4028235E+38", -1.5e-5f, "-1.5E-05");
  ExpectConverted(ConcatText, Currency::FromScaled(125000), "12.5", Currency::FromScaled(-1), "-0.0001",
                  Currency::FromScaled(30000), "3", Currency::FromScaled(INT64_MAX), "922337203685477.5807",
                  Currency::FromScaled(INT64_MIN), "-922337203685477.5808",
                  Decimal{UINT64_MAX, UINT32_MAX, 0, false}, "79228162514264337593543950335",
                  Decimal{UINT64_MAX, UINT32_MAX, 28, true}, "-7.9228162514264337593543950335",
                  Decimal{1, 0, 28, false}, "0.0000000000000000000000000001", Decimal{1500, 0, 3, true},
                  "-1.5", Decimal{0, 0, 5, true}, "0");
}

// A decimal of up to nine significant digits reads to a double whose shortest text is that
// decimal again, whichever way the text is found (few decimals or many, below or above 2^40).
TEST(TextOfValuesTest, ShortDecimalsGiveBackTheirOwnText) {
  ExpectConverted(ConcatText, 1099511627775.5, "1099511627775.5", 1099511627776.0, "1099511627776", 0.1 * 3,
                  "0.30000000000000004", 123.000001, "123.000001");
  std::mt19937_64 random(20261206);
  for (int i = 0; i < 20000; ++i) {
    std::string text = std::to_string(random() % 1'000'000'000 + 1);
    const std::size_t decimals = random() % 10;
    if (decimals > 0) {
      text.insert(0, decimals + 1 - std::min(decimals + 1, text.size()), '0');
      text.insert(text.size() - decimals, ".");
      text.erase(text.find_last_not_of('0') + 1);
      if (text.back() == '.') text.pop_back();
    }
    if (random() % 2 == 0) text.insert(0, "-");
    const double value = DoubleFromText(text);
    if (std::fabs(value) < 1e-4) continue;  // scientific notation
    ASSERT_EQ(ConcatText(value), text);
  }
}

TEST(TextOfValuesTest, DatesAreIso8601RoundedToTheSecond) {
  const double day = 46362.0;  // 2026-12-06
  ExpectConverted(ConcatText, Date{day}, "2026-12-06", Date{day + 0.5}, "2026-12-06 12:00:00", Date{0.0},
                  "1899-12-30", Date{0.25}, "06:00:00", Date{-1.25}, "1899-12-29 06:00:00",
                  Date{1.0 - 0.4 / 86400}, "1899-12-31",  // rounds up into the next day
                  Date{1.0 + 1.4 / 86400}, "1899-12-31 00:00:01", Date{-657434.0}, "0100-01-01",
                  Date{2958465.0}, "9999-12-31");
  ExpectErrors(err::kOverflow, ConcatText, Date{3e6});
}

TEST(TextOfValuesTest, OtherTypesObjectsNullAndCharacterCounts) {
  ExpectConverted(ConcatText, Variant(), "", Variant::Null(), "", -32768, "-32768", true, "True", false,
                  "False", Variant::Error(5), "Error 5", Holding(42), "42", Holding(Variant::Null()), "");
  ExpectErrors(err::kNotSupported, ConcatText, Variant(std::make_shared<Bare>()));
  ExpectErrors(err::kObjectNotSet, ConcatText, Variant::Nothing());
  ExpectErrors(err::kTypeMismatch, ConcatText, Variant::Array({}));
  // CStr is the same text, but Null, also read through an object, is refused.
  EXPECT_EQ(CStr(Holding(2.5)), "2.5");
  ExpectErrors(err::kInvalidUseOfNull, CStr, Variant::Null(), Holding(Variant::Null()));
  // The acute accent, a euro sign and an emoji; invalid, cut and overlong bytes count one each.
  ExpectConverted(CharacterCount, "", 0, "a\xC2\xB4z", 3, "\xE2\x82\xAC\xF0\x9F\x98\x80", 2, "\xFF\xC2", 2,
                  "\xE2\x82", 2, "\xC0\xAF", 2);
  ExpectConverted(FirstCharacterSize, "\xC2\xB4", 2u, "\xED\xA0\x80", 1u, "", 0u);  // a surrogate is invalid
}

TEST(FromTextTest, IntegersRoundHalfToEvenAndCheckTheirRange) {
  ExpectConverted(IntegerFromText, "2.5", 2, "3.5", 4, "-2.5", -2, "2.500001", 3, "0.5", 0, "  +17  ", 17,
                  "1.5e1", 15, "25e-1", 2, "32767", 32767, "-32768", -32768, "&H1F", 31, "&h1f", 31, "&O17",
                  15, "&HFFFF", -1);  // a 16-bit literal is two's complement
  ExpectConverted(LongFromText, "2147483647.4999999999999999999", INT32_MAX, "0.000", 0, "-2147483648",
                  INT32_MIN, "00000000000000000000000002147483647", INT32_MAX, "&H10000", 65536, "&HFFFFFFFF",
                  -1);
  ExpectConverted(ByteFromText, "-0.4", 0, "255", 255);
  EXPECT_EQ(DoubleFromText("&H7FFF"), 32767.0);
  ExpectErrors(err::kOverflow, IntegerFromText, "32768", "32767.5", "-32769", "&H10000");
  ExpectErrors(err::kOverflow, LongFromText, "2147483648", "1e300", "9999999999999999999", "&H100000000");
  ExpectErrors(err::kOverflow, ByteFromText, "256", "-1");
  ExpectErrors(err::kTypeMismatch, LongFromText, "&H1G", "&H");
  // Texts that are no numbers.
  for (const std::string_view text :
       {"", "   ", "abc", "1x", "1e", "1e+", ".", "-", "1 2", "inf", "nan", "1,5", "--1"}) {
    ExpectErrors(err::kTypeMismatch, DoubleFromText, text);
    ExpectErrors(err::kTypeMismatch, LongFromText, text);
  }
}

// Doubles and Singles, and at random every other number type too, read back their text exactly.
TEST(FromTextTest, NumbersReadBackTheirTextExactly) {
  for (const double d : {5e-324, DBL_MIN, std::nextafter(DBL_MIN, 0.0), DBL_MAX})
    EXPECT_EQ(DoubleFromText(ConcatText(d)), d) << d;
  EXPECT_EQ(SingleFromText(ConcatText(FLT_TRUE_MIN)), FLT_TRUE_MIN);
  ExpectConverted(DoubleFromText, ".5", 0.5, "5.", 5.0, "-1.5E-07", -1.5e-7, "1e-400", 0.0);
  EXPECT_TRUE(std::signbit(DoubleFromText("-0")));
  ExpectConverted(SingleFromText, "0.1", 0.1f, "16777217", 16777216.0f);
  ExpectErrors(err::kOverflow, DoubleFromText, "1e309");
  ExpectErrors(err::kOverflow, SingleFromText, "1e39");
  std::mt19937_64 random(12345);
  for (int i = 0; i < 20000; ++i) {
    const double d = std::bit_cast<double>(random());
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    ASSERT_TRUE(!std::isfinite(d) || DoubleFromText(ConcatText(d)) == d) << ConcatText(d);
    ASSERT_TRUE(!std::isfinite(f) || SingleFromText(ConcatText(f)) == f) << ConcatText(f);
    const auto c = Currency::FromScaled(static_cast<std::int64_t>(random()));
    ASSERT_EQ(CurrencyFromText(ConcatText(c)), c) << ConcatText(c);
    const Decimal m{random(), static_cast<std::uint32_t>(random()), static_cast<std::uint8_t>(random() % 29),
                    random() % 2 == 0};
    ASSERT_IDENTICAL(Variant(DecimalFromText(ConcatText(m))), Variant(m)) << ConcatText(m);
  }
}

TEST(FromTextTest, CurrencyRoundsToFourDecimalsHalfToEven) {
  ExpectConverted([](std::string_view text) { return CurrencyFromText(text).scaled; }, "0.00005", 0,
                  "0.00015", 2, "-0.00015", -2, "922337203685477", 9223372036854770000,
                  "922337203685477.5807", INT64_MAX, "-922337203685477.5808", INT64_MIN);
  ExpectErrors(err::kOverflow, CurrencyFromText, "922337203685477.5808", "-922337203685477.58086",
               "9999999999999999999");
}

TEST(FromTextTest, DecimalKeepsTwentyEightDigits) {
  ExpectConverted(DecimalFromText, "1.50", Decimal{15, 0, 1, false}, "-0.0001", Decimal{1, 0, 4, true},
                  "79228162514264337593543950335", Decimal{UINT64_MAX, UINT32_MAX, 0, false},
                  "0.00000000000000000000000000015", Decimal{2, 0, 28, false},  // half to even
                  "0.00000000000000000000000000004", Decimal{});
  ExpectErrors(err::kOverflow, DecimalFromText, "79228162514264337593543950336");
  // Beyond 28 digits, as many as fit 96 bits are kept.
  ExpectConverted([](std::string_view text) { return ConcatText(DecimalFromText(text)); },
                  "1.23456789012345678901234567890", "1.2345678901234567890123456789",
                  "12345678901234567890.123456789012", "12345678901234567890.123456789", "1.5e10",
                  "15000000000", "-0", "0");
}

TEST(FromTextTest, DatesInIsoAndUsFormsReadBackToTheSecond) {
  const double day = 46362.0;  // 2026-12-06
  const double time = (15 * 3600 + 4 * 60 + 5) / 86400.0;
  ExpectConverted([](std::string_view text) { return DateFromText(text).serial; }, "2026-12-06", day,
                  "12/6/2026", day, "2026-12-06 15:04:05", day + time, "2026-12-06T15:04:05", day + time,
                  "12/6/2026 3:04:05 PM", day + time, "3:04 pm", (15 * 60 + 4) / 1440.0, "12:30 AM",
                  30 / 1440.0, "12:30PM", (12 * 60 + 30) / 1440.0, " 1899-12-29 06:00:00 ", -1.25,
                  "2024-02-29", 45351.0);
  ExpectErrors(err::kTypeMismatch, DateFromText, "2023-02-29", "2026-13-01", "24:00", "13:00 PM", "12/6/26",
               "x", "2026-12-06 10", "10:60", "0099-12-31", "");
  // Random dates read back to the same text, within half a second.
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> serials(-657434.0, 2958465.0);
  // Before 1899-12-30 the fraction counts forward from the day: measure along the time line.
  const auto timeline = [](double s) { return std::trunc(s) + std::fabs(s - std::trunc(s)); };
  for (int i = 0; i < 5000; ++i) {
    const double serial = serials(random);
    const std::string text = ConcatText(Date{serial});
    const double read = DateFromText(text).serial;
    ASSERT_EQ(ConcatText(Date{read}), text);
    ASSERT_LE(std::fabs(timeline(read) - timeline(serial)) * 86400, 0.5 + 1e-6) << text;
  }
}

TEST(ConversionTest, IntegralTargetsRoundHalfToEvenAndCheckRange) {
  ExpectConverted(CInt, 2.5, 2, 3.5f, 4, -2.5, -2, Currency::FromScaled(25000), 2,
                  Currency::FromScaled(35000), 4, Currency::FromScaled(25001), 3, Decimal{25, 0, 1, true}, -2,
                  true, -1, Variant(), 0, " 12 ", 12, Holding("7"), 7);
  EXPECT_EQ(CLng(Date{2.75}), 3);
  EXPECT_EQ(CByte(255), 255);
  ExpectErrors(err::kOverflow, CInt, 32767.5, std::nan(""));
  ExpectErrors(err::kOverflow, CByte, -1);
  ExpectErrors(err::kTypeMismatch, CLng, Variant::Missing(), Variant::Array({1}), "abc");
  ExpectErrors(err::kInvalidUseOfNull, CLng, Variant::Null());
  ExpectErrors(err::kObjectNotSet, CLng, Variant::Nothing());
}

TEST(ConversionTest, OtherTargetsAndBooleanTexts) {
  ExpectConverted(CDbl, Currency::FromScaled(1), 0.0001, Decimal{1, 0, 1, false}, 0.1, true, -1.0, "1E+20",
                  1e20);
  // A Single converts through its own text, not its binary expansion.
  ExpectConverted([](const Variant& v) { return CCur(v).scaled; }, 0.1, 1000, 0.1f, 1000, -3, -30000,
                  Decimal{123455, 0, 5, false}, 12346);
  ExpectConverted([](const Variant& v) { return ConcatText(CDec(v)); }, 0.1, "0.1", Currency::FromScaled(-15),
                  "-0.0015", -7, "-7");
  ExpectConverted([](const Variant& v) { return CDate(v).serial; }, "1/2/2000", 36527.0, 1.5, 1.5);
  ExpectConverted(CBool, -1, true, Currency{}, false, "true", true, Variant(), false,
                  Decimal{1, 0, 28, false}, true);
  ExpectConverted(BooleanFromText, "True", true, " tRUE ", true, "FALSE", false, "0", false, "0.1", true);
  ExpectErrors(err::kTypeMismatch, BooleanFromText, "yes");
  ExpectErrors(err::kOverflow, CSng, 1e39);
  ExpectErrors(err::kOverflow, CCur, 1e19);
  ExpectErrors(err::kOverflow, CDec, 1e30);
  ExpectErrors(err::kOverflow, CDate, 1e7);
}

TEST(TypeInformationTest, NamesAndTests) {
  ExpectConverted(TypeName, Variant(), "Empty", Variant::Missing(), "Error", Decimal{1, 0, 0, false},
                  "Decimal", Variant::Array({}), "Variant()", Variant::Nothing(), "Nothing", Holding(1),
                  "Holder");
  ExpectConverted(VarType, Variant::Array({}), 8204, Holding(1), vbObject);
  ExpectConverted(IsNumeric, Variant(), true, true, true, Currency{}, true, " 12 ", true, "&HFF", true, "12a",
                  false, "1e400", false, Date{1}, false, Variant::Null(), false);
  ExpectConverted(IsDate, Date{1}, true, "2026-12-06", true, "2026-02-30", false, 46362, false);
  ExpectConverted(IsObject, Variant::Nothing(), true, "x", false);
  EXPECT_TRUE(IsArray(Variant::Array({})));
}

TEST(ComparisonTest, NumbersCompareByValueAcrossTypes) {
  ExpectAllEqual({5, Variant::Long(5), 5.0, 5.0f, Currency::FromScaled(50000), Decimal{50, 0, 1, false},
                  Date{5.0}, Variant::Byte(5)});
  ExpectAllEqual({true, -1, -1.0, Currency::FromScaled(-10000), Decimal{1, 0, 0, true}});
  ExpectAllEqual({0.5f, 0.5, Currency::FromScaled(5000), Decimal{5, 0, 1, false}});
  // 0.1 as a Single or a Double is not 1/10 and 1/10 is below the Double; a number is below any String.
  const double nan = std::nan("");
  ExpectComparisons(CompareEqual, false, 0.1f, 0.1, Currency::FromScaled(1000), 0.1, nan, nan);
  ExpectAscending({-1e300, Decimal{UINT64_MAX, UINT32_MAX, 0, true}, Currency::FromScaled(INT64_MIN),
                   Decimal{1, 0, 28, true}, Decimal{1, 0, 1, false}, 0.1, 1, Date{2.0}, 2.5,
                   9007199254740992.0, Decimal{9007199254740993ULL, 0, 0, false}, "", "B", "a", "z",
                   "\xC3\xA9"});
  ExpectComparisons(CompareLess, false, nan, 1);
  ExpectComparisons(CompareLessEqual, false, 1, nan);
  ExpectComparisons(CompareLessEqual, true, 2.5, 2.5f);
}

TEST(ComparisonTest, DoublesAgainstExactDecimalsOneBitEitherSide) {
  std::mt19937_64 random(3);
  for (int i = 0; i < 5000; ++i) {
    // long double holds every int64 and every double exactly, so it is the reference here.
    const auto n = static_cast<std::int64_t>(random() >> (random() % 64));
    const auto ln = static_cast<long double>(n);
    const Variant exact(Decimal{static_cast<std::uint64_t>(std::abs(ln)), 0, 0, n < 0});
    // The nearest double is on either side or equal, the doubles beside it are on their sides.
    const double d = static_cast<double>(n);
    const auto ld = static_cast<long double>(d);
    ASSERT_EQ(CompareEqual(d, exact), (ld == ln)) << n;
    ASSERT_EQ(CompareLess(d, exact), (ld < ln)) << n;
    ASSERT_EQ(CompareLess(exact, d), (ln < ld)) << n;
    ExpectAscending({std::nextafter(d, -1e30), exact, std::nextafter(d, 1e30)});
    // m / 2^k is m * 5^k / 10^k exactly: equal to that Decimal, and one bit away is not.
    const std::uint64_t m = random() % (1u << 20) + 1;
    const int k = static_cast<int>(random() % 19);
    const double fraction = std::ldexp(static_cast<double>(m), -k);
    const auto five_to_k = static_cast<std::uint64_t>(std::pow(5.0, k));  // exact below 2^53
    const Variant dyadic(Decimal{m * five_to_k, 0, static_cast<std::uint8_t>(k)});
    ExpectAllEqual({fraction, dyadic});
    ExpectAscending({-fraction, std::nextafter(fraction, 0.0), dyadic, std::nextafter(fraction, 1.0e9)});
  }
}

TEST(ComparisonTest, EmptyStringsNullArraysAndObjects) {
  // Empty equals "" and 0, but "" and 0 are unequal; Strings compare byte for byte.
  ExpectComparisons(CompareEqual, true, Variant(), "", Variant(), 0, Variant(), Variant(), "abc", "abc");
  ExpectComparisons(CompareEqual, false, "abc", "ABC", Variant(), "0", 5, "5", 0, "");
  ExpectComparisons(CompareEqual, std::nullopt, Variant::Null(), Variant::Null(), Variant::Null(),
                    Variant::Nothing(), Holding(Variant::Null()), 1);
  ExpectComparisons(CompareLess, std::nullopt, 1, Variant::Null());
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Array({}), 1); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Null(), Variant::Array({})); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Error(5), Variant::Error(5)); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(std::make_shared<Bare>(), 1); }), err::kNotSupported);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Nothing(), 1); }), err::kObjectNotSet);
  // Two objects are equal only when they are one; an object beside a value is read.
  const Variant five = Holding(5);
  const Variant other_five = Holding(5);
  ExpectComparisons(CompareEqual, true, five, five, five, 5.0, Holding(five), 5);
  ExpectComparisons(CompareEqual, false, five, other_five, "5", five);
  ExpectComparisons(CompareLess, true, five, 6);
  ExpectComparisons(CompareLessEqual, true, five, other_five);
}

TEST(ComparisonTest, DefaultValueFollowsAtMostSixtyFourSteps) {
  EXPECT_IDENTICAL(DefaultValue(Variant("x")), Variant("x"));
  Variant chain = Holding("deep");
  for (int i = 0; i < 63; ++i) chain = Holding(chain);
  EXPECT_IDENTICAL(DefaultValue(chain), Variant("deep"));
  chain = Holding(chain);
  EXPECT_EQ(ErrorNumberOf([&] { DefaultValue(chain); }), err::kOutOfStackSpace);
}

}  // namespace
}  // namespace quenlo
