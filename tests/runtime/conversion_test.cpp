// Texts of values, conversions from text and between types, type tests and comparison.
#include "quenlo/conversion.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

#include "quenlo/error.hpp"
#include "quenlo/object.hpp"

namespace quenlo {
namespace {

int ErrorNumberOf(auto&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

std::string TextOf(const Variant& value) {
  return ConcatText(value);
}

Decimal DecimalOf(std::uint64_t lo, std::uint32_t hi, int scale, bool negative) {
  return Decimal{lo, hi, static_cast<std::uint8_t>(scale), negative};
}

// An object whose default member is a given value.
class Holder : public Object {
 public:
  explicit Holder(Variant value) : value_(std::move(value)) {}
  std::string_view ClassName() const noexcept override { return "Holder"; }
  bool HasDefaultMember() const noexcept override { return true; }
  Variant DefaultMember() const override { return value_; }
  Variant value_;
};

class Bare : public Object {};

// ---- Text of values ----------------------------------------------------------------------

TEST(TextOfValuesTest, DoublesUseTheShortestRoundTripText) {
  EXPECT_EQ(TextOf(0.1), "0.1");
  EXPECT_EQ(TextOf(1.0 / 3.0), "0.3333333333333333");
  EXPECT_EQ(TextOf(2.5), "2.5");
  EXPECT_EQ(TextOf(-2.5), "-2.5");
  EXPECT_EQ(TextOf(100.0), "100");
  EXPECT_EQ(TextOf(1e14), "100000000000000");
  EXPECT_EQ(TextOf(123456789012345.0), "123456789012345");
  EXPECT_EQ(TextOf(1e15), "1E+15");
  EXPECT_EQ(TextOf(1.5e15), "1.5E+15");
  EXPECT_EQ(TextOf(1e20), "1E+20");
  EXPECT_EQ(TextOf(0.0001), "0.0001");
  EXPECT_EQ(TextOf(0.00012), "0.00012");
  EXPECT_EQ(TextOf(1e-5), "1E-05");
  EXPECT_EQ(TextOf(1.5e-7), "1.5E-07");
  EXPECT_EQ(TextOf(-0.0), "0");
  EXPECT_EQ(TextOf(DBL_MAX), "1.7976931348623157E+308");
  EXPECT_EQ(TextOf(5e-324), "5E-324");
  EXPECT_EQ(TextOf(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(TextOf(-std::numeric_limits<double>::infinity()), "-Infinity");
  EXPECT_EQ(TextOf(std::numeric_limits<double>::infinity()), "Infinity");
}

TEST(TextOfValuesTest, SinglesUseTheirOwnShortestText) {
  EXPECT_EQ(TextOf(0.1f), "0.1");
  EXPECT_EQ(TextOf(1234567.0f), "1234567");
  EXPECT_EQ(TextOf(12345678.0f), "1.2345678E+07");
  EXPECT_EQ(TextOf(3.4028235e38f), "3.4028235E+38");
  EXPECT_EQ(TextOf(-1.5e-5f), "-1.5E-05");
}

TEST(TextOfValuesTest, RandomDoublesAndSinglesReadBackExactly) {
  std::mt19937_64 random(12345);
  for (int i = 0; i < 20000; ++i) {
    const double d = std::bit_cast<double>(random());
    if (!std::isfinite(d)) continue;
    ASSERT_EQ(DoubleFromText(TextOf(d)), d) << TextOf(d);
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isfinite(f)) continue;
    ASSERT_EQ(SingleFromText(TextOf(f)), f) << TextOf(f);
  }
}

TEST(TextOfValuesTest, CurrencyAndDecimalArePlainDecimals) {
  EXPECT_EQ(TextOf(Currency::FromScaled(125000)), "12.5");
  EXPECT_EQ(TextOf(Currency::FromScaled(-1)), "-0.0001");
  EXPECT_EQ(TextOf(Currency::FromScaled(30000)), "3");
  EXPECT_EQ(TextOf(Currency::FromScaled(INT64_MAX)), "922337203685477.5807");
  EXPECT_EQ(TextOf(Currency::FromScaled(INT64_MIN)), "-922337203685477.5808");
  EXPECT_EQ(TextOf(DecimalOf(UINT64_MAX, UINT32_MAX, 0, false)), "79228162514264337593543950335");
  EXPECT_EQ(TextOf(DecimalOf(UINT64_MAX, UINT32_MAX, 28, true)), "-7.9228162514264337593543950335");
  EXPECT_EQ(TextOf(DecimalOf(1, 0, 28, false)), "0.0000000000000000000000000001");
  EXPECT_EQ(TextOf(DecimalOf(1500, 0, 3, true)), "-1.5");
  EXPECT_EQ(TextOf(DecimalOf(0, 0, 5, true)), "0");
}

TEST(TextOfValuesTest, DatesAreIso8601RoundedToTheSecond) {
  const Date day = DateFromText("2026-12-06");
  EXPECT_EQ(TextOf(day), "2026-12-06");
  EXPECT_EQ(TextOf(Date{day.serial + 0.5}), "2026-12-06 12:00:00");
  EXPECT_EQ(TextOf(Date{0.0}), "1899-12-30");
  EXPECT_EQ(TextOf(Date{0.25}), "06:00:00");
  EXPECT_EQ(TextOf(Date{-1.25}), "1899-12-29 06:00:00");
  EXPECT_EQ(TextOf(Date{1.0 - 0.4 / 86400}), "1899-12-31");  // rounds up into the next day
  EXPECT_EQ(TextOf(Date{1.0 + 1.4 / 86400}), "1899-12-31 00:00:01");
  EXPECT_EQ(TextOf(Date{-657434.0}), "0100-01-01");
  EXPECT_EQ(TextOf(Date{2958465.0}), "9999-12-31");
  EXPECT_EQ(ErrorNumberOf([] { TextOf(Date{3e6}); }), err::kOverflow);
}

TEST(TextOfValuesTest, OtherTypes) {
  EXPECT_EQ(TextOf(Variant()), "");
  EXPECT_EQ(TextOf(Variant::Null()), "");
  EXPECT_EQ(TextOf(-32768), "-32768");
  EXPECT_EQ(TextOf(true), "True");
  EXPECT_EQ(TextOf(false), "False");
  EXPECT_EQ(TextOf(Variant::Error(5)), "Error 5");
  EXPECT_EQ(TextOf(Variant::Missing()), "Error -2147352572");
  EXPECT_EQ(TextOf(std::make_shared<Holder>(Variant(42))), "42");
  EXPECT_EQ(ErrorNumberOf([] { TextOf(std::make_shared<Bare>()); }), err::kNotSupported);
  EXPECT_EQ(ErrorNumberOf([] { TextOf(Variant::Nothing()); }), err::kObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([] { TextOf(Variant::Array({})); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CStr(Variant::Null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(CStr(2.5), "2.5");
  EXPECT_EQ(CStr(std::make_shared<Holder>(Variant(2.5))), "2.5");
  EXPECT_EQ(ErrorNumberOf([] { CStr(std::make_shared<Holder>(Variant::Null())); }), err::kInvalidUseOfNull);
  EXPECT_EQ(TextOf(std::make_shared<Holder>(Variant::Null())), "");
  std::string out = "x=";
  AppendText(out, 7);
  AppendText(out, "!");
  EXPECT_EQ(out, "x=7!");
}

TEST(TextOfValuesTest, CharactersAreCodePoints) {
  EXPECT_EQ(CharacterCount(""), 0);
  EXPECT_EQ(CharacterCount("abc"), 3);
  EXPECT_EQ(CharacterCount("a\xC2\xB4z"), 3);                    // the acute accent
  EXPECT_EQ(CharacterCount("\xE2\x82\xAC\xF0\x9F\x98\x80"), 2);  // euro sign, an emoji
  EXPECT_EQ(CharacterCount("\xFF\xC2"), 2);                      // invalid bytes count one each
  EXPECT_EQ(CharacterCount("\xE2\x82"), 2);                      // a cut sequence
  EXPECT_EQ(CharacterCount("\xC0\xAF"), 2);                      // an overlong form
  EXPECT_EQ(FirstCharacterSize("\xC2\xB4"), 2u);
  EXPECT_EQ(FirstCharacterSize("\xED\xA0\x80"), 1u);  // a surrogate
  EXPECT_EQ(FirstCharacterSize(""), 0u);
}

// ---- Conversions from text ------------------------------------------------------------------

TEST(FromTextTest, IntegersRoundHalfToEven) {
  EXPECT_EQ(IntegerFromText("2.5"), 2);
  EXPECT_EQ(IntegerFromText("3.5"), 4);
  EXPECT_EQ(IntegerFromText("-2.5"), -2);
  EXPECT_EQ(IntegerFromText("2.500001"), 3);
  EXPECT_EQ(IntegerFromText("0.5"), 0);
  EXPECT_EQ(IntegerFromText("  +17  "), 17);
  EXPECT_EQ(IntegerFromText("1.5e1"), 15);
  EXPECT_EQ(IntegerFromText("25e-1"), 2);
  EXPECT_EQ(LongFromText("2147483647.4999999999999999999"), 2147483647);
  EXPECT_EQ(LongFromText("0.000"), 0);
  EXPECT_EQ(ByteFromText("-0.4"), 0);
}

TEST(FromTextTest, IntegerRangesOverflow) {
  EXPECT_EQ(IntegerFromText("32767"), 32767);
  EXPECT_EQ(IntegerFromText("-32768"), -32768);
  EXPECT_EQ(ErrorNumberOf([] { IntegerFromText("32768"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { IntegerFromText("32767.5"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { IntegerFromText("-32769"); }), err::kOverflow);
  EXPECT_EQ(LongFromText("-2147483648"), INT32_MIN);
  EXPECT_EQ(ErrorNumberOf([] { LongFromText("2147483648"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { LongFromText("1e300"); }), err::kOverflow);
  EXPECT_EQ(LongFromText("00000000000000000000000002147483647"), INT32_MAX);
  EXPECT_EQ(ErrorNumberOf([] { LongFromText("9999999999999999999"); }), err::kOverflow);
  EXPECT_EQ(CurrencyFromText("922337203685477").scaled, 9223372036854770000);
  EXPECT_EQ(ErrorNumberOf([] { CurrencyFromText("9999999999999999999"); }), err::kOverflow);
  EXPECT_EQ(TextOf(DecimalFromText("9999999999999999999")), "9999999999999999999");
  EXPECT_EQ(ByteFromText("255"), 255);
  EXPECT_EQ(ErrorNumberOf([] { ByteFromText("256"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ByteFromText("-1"); }), err::kOverflow);
}

TEST(FromTextTest, HexAndOctalLiterals) {
  EXPECT_EQ(IntegerFromText("&H1F"), 31);
  EXPECT_EQ(IntegerFromText("&h1f"), 31);
  EXPECT_EQ(IntegerFromText("&O17"), 15);
  EXPECT_EQ(IntegerFromText("&HFFFF"), -1);  // a 16-bit literal is two's complement
  EXPECT_EQ(LongFromText("&H10000"), 65536);
  EXPECT_EQ(LongFromText("&HFFFFFFFF"), -1);
  EXPECT_EQ(DoubleFromText("&H7FFF"), 32767.0);
  EXPECT_EQ(ErrorNumberOf([] { IntegerFromText("&H10000"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { LongFromText("&H100000000"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { LongFromText("&H1G"); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { LongFromText("&H"); }), err::kTypeMismatch);
}

TEST(FromTextTest, TextsThatAreNoNumbersAreTypeMismatches) {
  for (const char* text :
       {"", "   ", "abc", "1x", "1e", "1e+", ".", "-", "1 2", "inf", "nan", "1,5", "--1"}) {
    EXPECT_EQ(ErrorNumberOf([&] { DoubleFromText(text); }), err::kTypeMismatch) << text;
    EXPECT_EQ(ErrorNumberOf([&] { LongFromText(text); }), err::kTypeMismatch) << text;
  }
}

TEST(FromTextTest, DoublesAndSingles) {
  EXPECT_EQ(DoubleFromText(".5"), 0.5);
  EXPECT_EQ(DoubleFromText("5."), 5.0);
  EXPECT_EQ(DoubleFromText("-1.5E-07"), -1.5e-7);
  EXPECT_EQ(DoubleFromText("1e-400"), 0.0);
  EXPECT_EQ(DoubleFromText("1.7976931348623157E+308"), DBL_MAX);
  EXPECT_EQ(ErrorNumberOf([] { DoubleFromText("1e309"); }), err::kOverflow);
  EXPECT_EQ(SingleFromText("0.1"), 0.1f);
  EXPECT_EQ(SingleFromText("16777217"), 16777216.0f);
  EXPECT_EQ(ErrorNumberOf([] { SingleFromText("1e39"); }), err::kOverflow);
  EXPECT_TRUE(std::signbit(DoubleFromText("-0")));
  EXPECT_EQ(DoubleFromText(TextOf(5e-324)), 5e-324);
  EXPECT_EQ(DoubleFromText(TextOf(DBL_MIN)), DBL_MIN);
  EXPECT_EQ(DoubleFromText(TextOf(std::nextafter(DBL_MIN, 0.0))), std::nextafter(DBL_MIN, 0.0));
  EXPECT_EQ(SingleFromText(TextOf(FLT_TRUE_MIN)), FLT_TRUE_MIN);
}

TEST(FromTextTest, CurrencyRoundsToFourDecimalsHalfToEven) {
  EXPECT_EQ(CurrencyFromText("12.5").scaled, 125000);
  EXPECT_EQ(CurrencyFromText("0.00005").scaled, 0);
  EXPECT_EQ(CurrencyFromText("0.00015").scaled, 2);
  EXPECT_EQ(CurrencyFromText("-0.00015").scaled, -2);
  EXPECT_EQ(CurrencyFromText("922337203685477.5807").scaled, INT64_MAX);
  EXPECT_EQ(CurrencyFromText("-922337203685477.5808").scaled, INT64_MIN);
  EXPECT_EQ(ErrorNumberOf([] { CurrencyFromText("922337203685477.5808"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CurrencyFromText("-922337203685477.58086"); }), err::kOverflow);
  std::mt19937_64 random(7);
  for (int i = 0; i < 2000; ++i) {
    const auto c = Currency::FromScaled(static_cast<std::int64_t>(random()));
    ASSERT_EQ(CurrencyFromText(TextOf(c)), c) << TextOf(c);
  }
}

TEST(FromTextTest, DecimalKeepsTwentyEightDigits) {
  EXPECT_EQ(DecimalFromText("1.50"), DecimalOf(15, 0, 1, false));
  EXPECT_EQ(DecimalFromText("-0.0001"), DecimalOf(1, 0, 4, true));
  EXPECT_EQ(DecimalFromText("79228162514264337593543950335"), DecimalOf(UINT64_MAX, UINT32_MAX, 0, false));
  EXPECT_EQ(ErrorNumberOf([] { DecimalFromText("79228162514264337593543950336"); }), err::kOverflow);
  EXPECT_EQ(DecimalFromText("0.00000000000000000000000000015"), DecimalOf(2, 0, 28, false));  // half to even
  EXPECT_EQ(DecimalFromText("0.00000000000000000000000000004"), Decimal{});
  // 30 significant digits keep as many as fit 96 bits.
  EXPECT_EQ(TextOf(DecimalFromText("1.23456789012345678901234567890")), "1.2345678901234567890123456789");
  EXPECT_EQ(TextOf(DecimalFromText("12345678901234567890.123456789012")), "12345678901234567890.123456789");
  EXPECT_EQ(TextOf(DecimalFromText("1.5e10")), "15000000000");
  EXPECT_EQ(TextOf(DecimalFromText("-0")), "0");
  std::mt19937_64 random(9);
  for (int i = 0; i < 2000; ++i) {
    const Decimal d = DecimalOf(random(), static_cast<std::uint32_t>(random()),
                                static_cast<int>(random() % 29), random() % 2 == 0);
    ASSERT_EQ(Variant(DecimalFromText(TextOf(d))), Variant(d)) << TextOf(d);
  }
}

TEST(FromTextTest, DatesInIsoAndUsForms) {
  const double day = DateFromText("2026-12-06").serial;
  EXPECT_EQ(day, 46362.0);
  EXPECT_EQ(DateFromText("12/6/2026").serial, day);
  EXPECT_EQ(DateFromText("2026-12-06 15:04:05").serial, day + (15 * 3600 + 4 * 60 + 5) / 86400.0);
  EXPECT_EQ(DateFromText("2026-12-06T15:04:05").serial, DateFromText("12/6/2026 3:04:05 PM").serial);
  EXPECT_EQ(DateFromText("3:04 pm").serial, (15 * 60 + 4) / 1440.0);
  EXPECT_EQ(DateFromText("12:30 AM").serial, 30 / 1440.0);
  EXPECT_EQ(DateFromText("12:30PM").serial, (12 * 60 + 30) / 1440.0);
  EXPECT_EQ(DateFromText(" 1899-12-29 06:00:00 ").serial, -1.25);
  EXPECT_EQ(DateFromText("2024-02-29").serial, 45351.0);
  for (const char* text : {"2023-02-29", "2026-13-01", "24:00", "13:00 PM", "12/6/26", "x", "2026-12-06 10",
                           "10:60", "0099-12-31", ""}) {
    EXPECT_EQ(ErrorNumberOf([&] { DateFromText(text); }), err::kTypeMismatch) << text;
  }
  for (const double serial : {46362.0, 46362.5, 0.75, -1.25, -657434.0, 2958465.99998, 1.0 / 86400}) {
    EXPECT_EQ(TextOf(DateFromText(TextOf(Date{serial}))), TextOf(Date{serial}));
  }
}

TEST(FromTextTest, RandomDatesReadBackToTheSecond) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> serials(-657434.0, 2958465.0);
  for (int i = 0; i < 5000; ++i) {
    const double serial = serials(random);
    const std::string text = TextOf(Date{serial});
    const double read = DateFromText(text).serial;
    ASSERT_EQ(TextOf(Date{read}), text);
    // Within half a second, measured along the time line (before 1899-12-30 the fraction counts
    // forward from the day).
    const auto timeline = [](double s) { return std::trunc(s) + std::fabs(s - std::trunc(s)); };
    ASSERT_LE(std::fabs(timeline(read) - timeline(serial)) * 86400, 0.5 + 1e-6) << text;
  }
}

TEST(FromTextTest, BooleanTexts) {
  EXPECT_TRUE(BooleanFromText("True"));
  EXPECT_TRUE(BooleanFromText(" tRUE "));
  EXPECT_FALSE(BooleanFromText("FALSE"));
  EXPECT_FALSE(BooleanFromText("0"));
  EXPECT_TRUE(BooleanFromText("-1"));
  EXPECT_TRUE(BooleanFromText("0.1"));
  EXPECT_EQ(ErrorNumberOf([] { BooleanFromText("yes"); }), err::kTypeMismatch);
}

// ---- Conversions between types ---------------------------------------------------------------

TEST(ConversionTest, IntegralTargetsRoundAndCheckRange) {
  EXPECT_EQ(CInt(2.5), 2);
  EXPECT_EQ(CInt(3.5f), 4);
  EXPECT_EQ(CInt(-2.5), -2);
  EXPECT_EQ(CInt(Currency::FromScaled(25000)), 2);
  EXPECT_EQ(CInt(Currency::FromScaled(35000)), 4);
  EXPECT_EQ(CInt(Currency::FromScaled(25001)), 3);
  EXPECT_EQ(CInt(DecimalOf(25, 0, 1, true)), -2);
  EXPECT_EQ(CInt(true), -1);
  EXPECT_EQ(CInt(Variant()), 0);
  EXPECT_EQ(CInt(" 12 "), 12);
  EXPECT_EQ(CLng(Date{2.75}), 3);
  EXPECT_EQ(CByte(255), 255);
  EXPECT_EQ(ErrorNumberOf([] { CInt(32767.5); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CInt(std::numeric_limits<double>::quiet_NaN()); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CByte(-1); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CLng(Variant::Null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([] { CLng(Variant::Missing()); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CLng(Variant::Array({1})); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CLng("abc"); }), err::kTypeMismatch);
  EXPECT_EQ(CLng(std::make_shared<Holder>(Variant("7"))), 7);
  EXPECT_EQ(ErrorNumberOf([] { CLng(Variant::Nothing()); }), err::kObjectNotSet);
}

TEST(ConversionTest, OtherTargets) {
  EXPECT_EQ(CDbl(Currency::FromScaled(1)), 0.0001);
  EXPECT_EQ(CDbl(DecimalOf(1, 0, 1, false)), 0.1);
  EXPECT_EQ(CDbl(true), -1.0);
  EXPECT_EQ(CDbl("1E+20"), 1e20);
  EXPECT_EQ(CSng(0.1), 0.1f);
  EXPECT_EQ(ErrorNumberOf([] { CSng(1e39); }), err::kOverflow);
  EXPECT_EQ(CCur(0.1).scaled, 1000);
  EXPECT_EQ(CCur(0.1f).scaled, 1000);  // the Single's own text, not its binary expansion
  EXPECT_EQ(CCur(-3).scaled, -30000);
  EXPECT_EQ(CCur(DecimalOf(123455, 0, 5, false)).scaled, 12346);
  EXPECT_EQ(ErrorNumberOf([] { CCur(1e19); }), err::kOverflow);
  EXPECT_EQ(TextOf(CDec(0.1)), "0.1");
  EXPECT_EQ(TextOf(CDec(Currency::FromScaled(-15))), "-0.0015");
  EXPECT_EQ(TextOf(CDec(-7)), "-7");
  EXPECT_EQ(ErrorNumberOf([] { CDec(1e30); }), err::kOverflow);
  EXPECT_EQ(CDate(1.5).serial, 1.5);
  EXPECT_EQ(CDate("1/2/2000").serial, DateFromText("2000-01-02").serial);
  EXPECT_EQ(ErrorNumberOf([] { CDate(1e7); }), err::kOverflow);
  EXPECT_TRUE(CBool(-1));
  EXPECT_FALSE(CBool(Currency{}));
  EXPECT_TRUE(CBool("true"));
  EXPECT_FALSE(CBool(Variant()));
  EXPECT_TRUE(CBool(DecimalOf(1, 0, 28, false)));
}

// ---- Type information -------------------------------------------------------------------------

TEST(TypeInformationTest, NamesAndTests) {
  EXPECT_EQ(TypeName(Variant()), "Empty");
  EXPECT_EQ(TypeName(Variant::Missing()), "Error");
  EXPECT_EQ(TypeName(DecimalOf(1, 0, 0, false)), "Decimal");
  EXPECT_EQ(TypeName(Variant::Array({})), "Variant()");
  EXPECT_EQ(TypeName(Variant::Nothing()), "Nothing");
  EXPECT_EQ(TypeName(std::make_shared<Holder>(Variant(1))), "Holder");
  EXPECT_EQ(VarType(Variant::Array({})), 8204);
  EXPECT_EQ(VarType(std::make_shared<Holder>(Variant(1))), vbObject);
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_TRUE(IsNumeric(true));
  EXPECT_TRUE(IsNumeric(Currency{}));
  EXPECT_TRUE(IsNumeric(" 12 "));
  EXPECT_TRUE(IsNumeric("&HFF"));
  EXPECT_FALSE(IsNumeric("12a"));
  EXPECT_FALSE(IsNumeric("1e400"));
  EXPECT_FALSE(IsNumeric(Date{1}));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
  EXPECT_TRUE(IsDate(Date{1}));
  EXPECT_TRUE(IsDate("2026-12-06"));
  EXPECT_FALSE(IsDate("2026-02-30"));
  EXPECT_FALSE(IsDate(46362));
  EXPECT_TRUE(IsArray(Variant::Array({})));
  EXPECT_TRUE(IsObject(Variant::Nothing()));
  EXPECT_FALSE(IsObject("x"));
}

// ---- Comparison ---------------------------------------------------------------------------------

TEST(ComparisonTest, NumbersCompareByValueAcrossTypes) {
  EXPECT_EQ(CompareEqual(Variant(5), Variant::Long(5)), true);
  EXPECT_EQ(CompareEqual(5, 5.0), true);
  EXPECT_EQ(CompareEqual(0.5f, 0.5), true);
  EXPECT_EQ(CompareEqual(0.1f, 0.1), false);
  EXPECT_EQ(CompareEqual(true, -1), true);
  EXPECT_EQ(CompareEqual(Currency::FromScaled(15000), 1.5), true);
  EXPECT_EQ(CompareEqual(Currency::FromScaled(1000), 0.1), false);  // 0.1 as a double is not 1/10
  EXPECT_EQ(CompareEqual(Currency::FromScaled(1000), DecimalOf(1, 0, 1, false)), true);
  EXPECT_EQ(CompareEqual(DecimalOf(5, 0, 1, false), 0.5), true);
  EXPECT_EQ(CompareEqual(Date{2.0}, 2), true);
  EXPECT_EQ(CompareEqual(Variant::Byte(200), 200), true);
  EXPECT_EQ(CompareLess(DecimalOf(1, 0, 1, false), 0.1), true);  // 0.1 (double) is a bit above 1/10
  EXPECT_EQ(CompareLess(9007199254740993LL, 9007199254740992.0), false);
  EXPECT_EQ(CompareLess(9007199254740992.0, DecimalOf(9007199254740993ULL, 0, 0, false)), true);
  EXPECT_EQ(CompareLess(-1e300, Currency::FromScaled(INT64_MIN)), true);
  EXPECT_EQ(CompareLess(1, 2.5), true);
  EXPECT_EQ(CompareLessEqual(2.5, 2.5f), true);
  EXPECT_EQ(CompareLess(DecimalOf(UINT64_MAX, UINT32_MAX, 0, true), DecimalOf(1, 0, 28, true)), true);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(CompareEqual(nan, nan), false);
  EXPECT_EQ(CompareLess(nan, 1), false);
  EXPECT_EQ(CompareLessEqual(1, nan), false);
}

TEST(ComparisonTest, DoublesAgainstExactIntegersNearTheirLastBit) {
  // long double holds every int64 and every double exactly, so it is the reference here.
  std::mt19937_64 random(3);
  for (int i = 0; i < 5000; ++i) {
    const auto n = static_cast<std::int64_t>(random() >> (random() % 64));
    const auto magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    const Variant exact(DecimalOf(magnitude, 0, 0, n < 0));
    for (const double d : {static_cast<double>(n), std::nextafter(static_cast<double>(n), 0.0),
                           std::nextafter(static_cast<double>(n), 1e30)}) {
      const auto ld = static_cast<long double>(d);
      const auto ln = static_cast<long double>(n);
      ASSERT_EQ(CompareEqual(d, exact), ld == ln) << n;
      ASSERT_EQ(CompareLess(d, exact), ld < ln) << n;
      ASSERT_EQ(CompareLess(exact, d), ln < ld) << n;
    }
  }
}

TEST(ComparisonTest, DyadicFractionsAgainstTheirExactDecimals) {
  // m / 2^k is m * 5^k / 10^k exactly: equal to that Decimal, and one bit away is not.
  std::mt19937_64 random(4);
  for (int i = 0; i < 5000; ++i) {
    const std::uint64_t m = random() % (1u << 20) + 1;
    const int k = static_cast<int>(random() % 19);
    std::uint64_t five_to_k = 1;
    for (int j = 0; j < k; ++j) five_to_k *= 5;
    const double d = std::ldexp(static_cast<double>(m), -k);
    const Variant exact(DecimalOf(m * five_to_k, 0, k, false));
    ASSERT_EQ(CompareEqual(d, exact), true) << m << "/2^" << k;
    ASSERT_EQ(CompareLess(std::nextafter(d, 0.0), exact), true);
    ASSERT_EQ(CompareLess(exact, std::nextafter(d, 1.0e9)), true);
    ASSERT_EQ(CompareEqual(-d, exact), false);
  }
}

TEST(ComparisonTest, StringsEmptyAndMixedKinds) {
  EXPECT_EQ(CompareEqual("abc", "abc"), true);
  EXPECT_EQ(CompareEqual("abc", "ABC"), false);
  EXPECT_EQ(CompareLess("B", "a"), true);
  EXPECT_EQ(CompareLess("z", "\xC3\xA9"), true);  // bytes compare unsigned
  EXPECT_EQ(CompareEqual(Variant(), ""), true);
  EXPECT_EQ(CompareEqual(Variant(), 0), true);
  EXPECT_EQ(CompareEqual(Variant(), 0.0), true);
  EXPECT_EQ(CompareEqual(Variant(), Variant()), true);
  EXPECT_EQ(CompareEqual(Variant(), "0"), false);
  EXPECT_EQ(CompareEqual(5, "5"), false);
  EXPECT_EQ(CompareLess(1e300, ""), true);
  EXPECT_EQ(CompareLess("", -5), false);
  EXPECT_EQ(CompareLessEqual(Date{1}, "a"), true);
}

TEST(ComparisonTest, NullArraysErrorsAndObjects) {
  EXPECT_EQ(CompareEqual(Variant::Null(), Variant::Null()), std::nullopt);
  EXPECT_EQ(CompareLess(1, Variant::Null()), std::nullopt);
  EXPECT_EQ(CompareEqual(Variant::Null(), Variant::Nothing()), std::nullopt);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Array({}), 1); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Null(), Variant::Array({})); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Error(5), Variant::Error(5)); }), err::kTypeMismatch);
  auto five = std::make_shared<Holder>(Variant(5));
  auto other_five = std::make_shared<Holder>(Variant(5));
  EXPECT_EQ(CompareEqual(five, five), true);
  EXPECT_EQ(CompareEqual(five, other_five), false);
  EXPECT_EQ(CompareEqual(five, 5.0), true);
  EXPECT_EQ(CompareEqual("5", five), false);
  EXPECT_EQ(CompareLess(five, 6), true);
  EXPECT_EQ(CompareLessEqual(five, other_five), true);
  auto nested = std::make_shared<Holder>(Variant(five));
  EXPECT_EQ(CompareEqual(nested, 5), true);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(std::make_shared<Bare>(), 1); }), err::kNotSupported);
  EXPECT_EQ(ErrorNumberOf([] { CompareEqual(Variant::Nothing(), 1); }), err::kObjectNotSet);
  EXPECT_EQ(CompareEqual(std::make_shared<Holder>(Variant::Null()), 1), std::nullopt);
}

TEST(ComparisonTest, DefaultValueFollowsAtMostSixtyFourSteps) {
  EXPECT_EQ(DefaultValue(Variant("x")), Variant("x"));
  auto inner = std::make_shared<Holder>(Variant("deep"));
  Variant chain = inner;
  for (int i = 0; i < 63; ++i) chain = Variant(std::make_shared<Holder>(chain));
  EXPECT_EQ(DefaultValue(chain), Variant("deep"));
  chain = Variant(std::make_shared<Holder>(chain));
  EXPECT_EQ(ErrorNumberOf([&] { DefaultValue(chain); }), err::kOutOfStackSpace);
}

}  // namespace
}  // namespace quenlo
