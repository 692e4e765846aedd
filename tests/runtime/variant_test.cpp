// The Variant value: construction, copying, typed reads and strict equality.
#include "quenlo/variant.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "quenlo/conversion.hpp"
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

class Plain : public Object {};

TEST(VariantTest, IntegerConstructorsFollowTheLiteralRule) {
  EXPECT_EQ(Variant(5).Type(), vbInteger);
  EXPECT_EQ(Variant(-32768).Type(), vbInteger);
  EXPECT_EQ(Variant(32767).Type(), vbInteger);
  EXPECT_EQ(Variant(32768).Type(), vbLong);
  EXPECT_EQ(Variant(-32769).Type(), vbLong);
  EXPECT_EQ(Variant(2147483647L).Type(), vbLong);
  EXPECT_EQ(Variant(2147483648LL).Type(), vbDouble);
  EXPECT_EQ(Variant(2147483648LL).AsDouble(), 2147483648.0);
  EXPECT_EQ(Variant(-2147483648LL).Type(), vbLong);
  EXPECT_EQ(Variant(40000u).Type(), vbLong);
  EXPECT_EQ(Variant(18446744073709551615ULL).Type(), vbDouble);
  EXPECT_EQ(Variant(static_cast<short>(7)).AsInteger(), 7);
  EXPECT_EQ(Variant(static_cast<unsigned char>(200)).AsByte(), 200);
  EXPECT_EQ(Variant(1.5f).Type(), vbSingle);
  EXPECT_EQ(Variant(1.5).Type(), vbDouble);
  EXPECT_EQ(Variant(true).Type(), vbBoolean);
  EXPECT_EQ(Variant("x").Type(), vbString);
  EXPECT_EQ(Variant(Currency::FromScaled(5)).Type(), vbCurrency);
  EXPECT_EQ(Variant(Date{1.5}).Type(), vbDate);
  EXPECT_EQ(Variant(Decimal{}).Type(), vbDecimal);
  EXPECT_TRUE(Variant().IsEmpty());
}

TEST(VariantTest, NamedConstructorsGiveTheirTypes) {
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_TRUE(Variant::Missing().IsMissing());
  EXPECT_EQ(Variant::Missing().Type(), vbError);
  EXPECT_EQ(Variant::Missing().AsErrorCode(), kMissingErrorCode);
  EXPECT_FALSE(Variant::Error(5).IsMissing());
  EXPECT_TRUE(Variant::Nothing().IsObject());
  EXPECT_TRUE(Variant::Nothing().IsNothing());
  EXPECT_EQ(Variant::Integer(3).AsInteger(), 3);
  EXPECT_EQ(Variant::Long(3).AsLong(), 3);
  EXPECT_EQ(Variant::Byte(3).AsByte(), 3);
  EXPECT_EQ(Variant::Array({1, "a"}).Type(), vbArray + vbVariant);
  EXPECT_TRUE(Variant::Array({}).IsArray());
}

TEST(VariantTest, TypedReadsOfAnotherTypeRaiseTypeMismatch) {
  const Variant integer = 5;
  EXPECT_EQ(ErrorNumberOf([&] { (void)integer.AsLong(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { (void)integer.AsString(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { (void)integer.AsObject(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { (void)integer.AsArray(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)Variant("5").AsInteger(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)Variant().AsDouble(); }), err::kTypeMismatch);
}

TEST(VariantTest, StringsOfEveryLengthSurviveCopyAndMove) {
  for (const std::size_t length : {0u, 1u, 15u, 16u, 17u, 100u}) {
    const std::string text(length, 'q');
    Variant original(text);
    Variant copy = original;
    EXPECT_EQ(copy.AsString(), text);
    Variant moved = std::move(copy);
    EXPECT_EQ(moved.AsString(), text);
    EXPECT_TRUE(copy.IsEmpty());  // NOLINT(bugprone-use-after-move): a moved-from Variant is Empty
    original = Variant("other");
    EXPECT_EQ(moved.AsString(), text);
    const Variant& same = moved;
    moved = same;  // self-assignment keeps the value
    EXPECT_EQ(moved.AsString(), text);
  }
}

TEST(VariantTest, CopyingAnArrayCopiesItsElements) {
  Variant array = Variant::Array({1, std::string(40, 'z'), Variant::Array({2})});
  Variant copy = array;
  array = Variant(7);
  ASSERT_EQ(copy.AsArray().size(), 3u);
  EXPECT_EQ(copy.AsArray()[1].AsString(), std::string(40, 'z'));
  EXPECT_EQ(copy.AsArray()[2].AsArray()[0].AsInteger(), 2);
  // Assigning an element of an array to the array itself.
  copy = copy.AsArray()[1];
  EXPECT_EQ(copy.AsString(), std::string(40, 'z'));
}

TEST(VariantTest, CopyingAnObjectSharesIt) {
  auto object = std::make_shared<Plain>();
  Variant held(object);
  EXPECT_EQ(object.use_count(), 2);
  Variant copy = held;
  EXPECT_EQ(object.use_count(), 3);
  EXPECT_EQ(copy.AsObject().get(), object.get());
  Variant moved = std::move(held);
  EXPECT_EQ(object.use_count(), 3);
  copy = Variant();
  moved = Variant("x");
  EXPECT_EQ(object.use_count(), 1);
  EXPECT_EQ(Variant(object).ObjectAs<Plain>(), object);
}

TEST(VariantTest, StrictEqualityNeedsTheSameTypeAndValue) {
  EXPECT_EQ(Variant(5), Variant::Integer(5));
  EXPECT_NE(Variant(5), Variant::Long(5));
  EXPECT_NE(Variant(5), Variant("5"));
  EXPECT_EQ(Variant(std::string(30, 'a')), Variant(std::string(30, 'a')));
  EXPECT_NE(Variant(std::string(30, 'a')), Variant(std::string(31, 'a')));
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_EQ(Variant::Array({1, "b"}), Variant::Array({1, "b"}));
  EXPECT_NE(Variant::Array({1, "b"}), Variant::Array({1, "c"}));
  // Decimals compare by value: 1.5 with scale 1 equals 1.50 with scale 2.
  EXPECT_EQ(Variant(Decimal{15, 0, 1, false}), Variant(Decimal{150, 0, 2, false}));
  auto a = std::make_shared<Plain>();
  EXPECT_EQ(Variant(a), Variant(a));
  EXPECT_NE(Variant(a), Variant(std::make_shared<Plain>()));
  EXPECT_EQ(Variant::Nothing(), Variant::Nothing());
}

TEST(VariantTest, PrintsTypeNameAndText) {
  std::ostringstream out;
  out << Variant(5) << "|" << Variant("ab") << "|" << Variant::Null() << "|" << Variant::Array({1.5, true})
      << "|" << Variant(Date{1e9});
  EXPECT_EQ(out.str(), "Integer 5|String \"ab\"|Null|Variant() {Double 1.5, Boolean True}|Date (error 6)");
}

TEST(VariantTest, ADecimalScaleBeyondTwentyEightIsRoundedAway) {
  // 25 / 10^29 is 0.00...025, rounded half to even at the 28th decimal: 2 / 10^28.
  EXPECT_EQ(Variant(Decimal{25, 0, 29, false}).AsDecimal(), (Decimal{2, 0, 28, false}));
  EXPECT_EQ(Variant(Decimal{35, 0, 29, true}).AsDecimal(), (Decimal{4, 0, 28, true}));
  EXPECT_EQ(Variant(Decimal{UINT64_MAX, UINT32_MAX, 255, false}).AsDecimal(), Decimal{});
  EXPECT_EQ(Variant(Decimal{150, 0, 28, false}).AsDecimal(), (Decimal{150, 0, 28, false}));  // kept as given
}

}  // namespace
}  // namespace quenlo
