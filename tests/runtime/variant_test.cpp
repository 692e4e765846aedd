// The Variant value: construction, copying, typed reads and strict equality.
#include "quenlo/variant.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::ErrorNumberOf;

class Plain : public Object {};

// Each value, type pair of the arguments: the value has that type.
void ExpectTypes() {}
void ExpectTypes(const Variant& value, int type, const auto&... rest) {
  EXPECT_EQ(value.Type(), type) << Describe(value);
  ExpectTypes(rest...);
}

// Each pair of the arguments is identical, or with `equal` false is not.
void ExpectStrictlyEqual(bool) {}
void ExpectStrictlyEqual(bool equal, const Variant& a, const Variant& b, const auto&... rest) {
  EXPECT_EQ(Identical(a, b), equal) << Describe(a) << " vs " << Describe(b);
  ExpectStrictlyEqual(equal, rest...);
}

TEST(VariantTest, ConstructorsFollowTheLiteralRule) {
  ExpectTypes(-32768, vbInteger, 32767, vbInteger, 32768, vbLong, -32769, vbLong, 2147483647L, vbLong,
              -2147483648LL, vbLong, 2147483648LL, vbDouble, 40000u, vbLong, 18446744073709551615ULL,
              vbDouble, short{7}, vbInteger, std::uint8_t{200}, vbByte, 1.5f, vbSingle, 1.5, vbDouble, true,
              vbBoolean, "x", vbString, Currency{}, vbCurrency, Date{1.5}, vbDate, Decimal{}, vbDecimal,
              Variant::Null(), vbNull, Variant(), vbEmpty, Variant::Missing(), vbError, Variant::Nothing(),
              vbObject, Variant::Array({1, "a"}), vbArray + vbVariant);
  EXPECT_EQ(Variant(2147483648LL).AsDouble(), 2147483648.0);
  EXPECT_TRUE(Variant::Missing().IsMissing());
  EXPECT_FALSE(Variant::Error(5).IsMissing());
  // Null pointers make Null, but an object pointer stays an object.
  const char* const no_text = nullptr;
  ExpectTypes(nullptr, vbNull, no_text, vbNull, Variant::Array({nullptr, no_text}).AsArray().at(1), vbNull);
  EXPECT_TRUE(Variant(std::shared_ptr<Object>()).IsNothing());
}

TEST(VariantTest, TypedReadsOfAnotherTypeRaiseTypeMismatch) {
  for (const Variant& value : {Variant(5), Variant()}) {
    EXPECT_EQ(ErrorNumberOf([&] { (void)value.AsLong(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([&] { (void)value.AsString(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([&] { (void)value.AsObject(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([&] { (void)value.AsArray(); }), err::kTypeMismatch);
  }
}

TEST(VariantTest, StringsOfEveryLengthSurviveCopyMoveAndSelfAssignment) {
  for (const std::size_t length : {0u, 1u, 15u, 16u, 17u, 100u}) {
    const std::string text(length, 'q');
    Variant original(text);
    Variant copy = original;
    Variant moved = std::move(copy);
    EXPECT_TRUE(copy.IsEmpty());  // NOLINT(bugprone-use-after-move): a moved-from Variant is Empty
    original = Variant("other");
    const Variant& same = moved;
    moved = same;
    EXPECT_EQ(moved.AsString(), text);
  }
}

TEST(VariantTest, CopyingAnArrayCopiesItsElementsAndAnObjectIsShared) {
  Variant array = Variant::Array({1, std::string(40, 'z'), Variant::Array({2})});
  Variant copy = array;
  array = Variant(7);
  EXPECT_IDENTICAL(copy, Variant::Array({1, std::string(40, 'z'), Variant::Array({2})}));
  copy = copy.AsArray()[1];  // an element of the array assigned to the array itself
  EXPECT_EQ(copy.AsString(), std::string(40, 'z'));

  auto object = std::make_shared<Plain>();
  Variant held(object);
  Variant shared = held;
  EXPECT_EQ(shared.ObjectAs<Plain>(), object);
  Variant moved = std::move(held);
  EXPECT_EQ(object.use_count(), 3);
  shared = Variant();
  moved = Variant("x");
  EXPECT_EQ(object.use_count(), 1);
}

TEST(VariantTest, ArraysNestAsDeepAsTheLimitAndNoDeeper) {
  Variant deepest = Variant::Array({});
  for (std::uint32_t level = 2; level <= Variant::kDeepestArray; ++level)
    deepest = Variant::Array({1, deepest});
  const Variant copy = deepest;
  EXPECT_IDENTICAL(copy, deepest);
  EXPECT_EQ(ErrorNumberOf([&] { Variant::Array({deepest}); }), err::kOutOfStackSpace);
  // The depth is that of the deepest element, whatever its place.
  EXPECT_EQ(ErrorNumberOf([&] { Variant::Array({Variant::Array({}), 2, copy}); }), err::kOutOfStackSpace);
  EXPECT_NO_THROW(Variant::Array({copy.AsArray()[1], Variant::Array({})}));
}

TEST(VariantTest, IdenticalNeedsTheSameTypeAndValue) {
  const auto a = std::make_shared<Plain>();
  const std::string text(30, 'a');
  // Decimals compare by value: 1.5 with scale 1 equals 1.50 with scale 2.
  ExpectStrictlyEqual(true, 5, Variant::Integer(5), text, text, Variant::Null(), Variant::Null(), Variant(a),
                      Variant(a), Variant::Nothing(), Variant::Nothing(), Decimal{15, 0, 1, false},
                      Decimal{150, 0, 2, false}, Variant::Array({1, "a"}), Variant::Array({1, "a"}));
  ExpectStrictlyEqual(false, 5, Variant::Long(5), 5, "5", text, text + "a", Variant::Array({1, "b"}),
                      Variant::Array({1, "c"}), Variant::Array({1}), Variant::Array({Variant::Long(1)}),
                      Variant(a), Variant(std::make_shared<Plain>()));
}

TEST(VariantTest, DescribesTypeNameAndText) {
  std::ostringstream out;
  for (const Variant& value : {Variant(5), Variant("ab"), Variant::Null(), Variant::Array({1.5, true})})
    out << Describe(value) << "|";
  PrintTo(Variant(Date{1e9}), &out);
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
