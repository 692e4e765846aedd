// get<T>, As<T> and TryGet<T>: typed reads with the runtime's conversions.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using testing::ExpectError;

class Plain : public Object {};

// The conversions themselves are the runtime tests' concern; here each target type once.
TEST(TypedAccess, NumbersConvertAsTheRuntimeDoesAndOverflowRaisesSix) {
  EXPECT_EQ(Variant::Long(8080).get<int>(), 8080);
  EXPECT_EQ(Variant(2.5).get<int>(), 2);  // half to even
  EXPECT_EQ(Variant("9000000000").get<long long>(), 9000000000LL);
  EXPECT_EQ(Variant(-9223372036854775807.0 - 1).get<std::int64_t>(),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(Variant(40000).get<std::uint16_t>(), 40000);
  EXPECT_DOUBLE_EQ(Variant("1.5").get<double>(), 1.5);
  EXPECT_FLOAT_EQ(Variant(0.25).get<float>(), 0.25f);

  ExpectError(err::kOverflow, [] { Variant::Long(70000).get<short>(); });
  ExpectError(err::kOverflow, [] { Variant(300).get<std::uint8_t>(); });
  ExpectError(err::kOverflow, [] { Variant(-1).get<unsigned>(); });
  ExpectError(err::kOverflow, [] { Variant(9223372036854775807.0).get<std::int64_t>(); });  // 2^63
  ExpectError(err::kOverflow, [] { Variant(1e300).get<float>(); });
  ExpectError(err::kInvalidUseOfNull, [] { Variant::Null().get<int>(); });
}

TEST(TypedAccess, TextBooleansAndOtherRuntimeTypes) {
  EXPECT_EQ(Variant::Long(5).get<std::string>(), "5");
  EXPECT_TRUE(Variant("true").get<bool>());
  EXPECT_EQ(Variant("12.5").get<Currency>(), Currency::FromScaled(125000));
  EXPECT_EQ(Variant("2026-12-06").get<Date>(), CDate("2026-12-06"));
  EXPECT_EQ(Variant(7).get<Variant>(), 7);
  ExpectError(err::kInvalidUseOfNull, [] { Variant::Null().get<std::string>(); });
  ExpectError(err::kTypeMismatch, [] { Variant("maybe").get<bool>(); });
}

TEST(TypedAccess, ObjectsComeBackAsTheirClass) {
  const TavrixPtr map = testing::MapOf("k", 1);
  EXPECT_EQ(Variant(map).get<TavrixPtr>(), map);
  EXPECT_EQ(Variant::Nothing().get<TavrixPtr>(), nullptr);
  const auto plain = std::make_shared<Plain>();
  EXPECT_EQ(Variant(plain).get<std::shared_ptr<Plain>>(), plain);
  ExpectError(err::kTypeMismatch, [&] { Variant(plain).get<TavrixPtr>(); });
  ExpectError(err::kTypeMismatch, [] { Variant(5).get<TavrixPtr>(); });
}

TEST(TypedAccess, TryGetGivesNothingForMissingValuesAndRefusedConversions) {
  EXPECT_EQ(Variant().TryGet<int>(), std::nullopt);
  EXPECT_EQ(Variant::Null().TryGet<std::string>(), std::nullopt);
  EXPECT_EQ(Variant::Nothing().TryGet<TavrixPtr>(), std::nullopt);
  EXPECT_EQ(Variant(70000).TryGet<short>(), std::nullopt);
  EXPECT_EQ(Variant("x").TryGet<double>(), std::nullopt);
  EXPECT_EQ(Variant::Array({1}).TryGet<int>(), std::nullopt);
  EXPECT_EQ(Variant("42").TryGet<int>(), 42);
  static_assert(noexcept(Variant().TryGet<std::string>()));
}

}  // namespace
}  // namespace quenlo
