// Variant == Variant and Variant == C++ value compare as the runtime does.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

class Plain : public Object {};

TEST(Comparison, NumbersCompareByValueAcrossTypes) {
  const Variant five[] = {Variant::Integer(5), Variant::Long(5), 5.0,        5.0f,
                          Variant::Byte(5),    Currency{50000},  Decimal{5}, Decimal{500, 0, 2, false}};
  for (const Variant& a : five) {
    for (const Variant& b : five) EXPECT_TRUE(a == b) << Describe(a) << " == " << Describe(b);
    EXPECT_TRUE(a != 6) << Describe(a);
    EXPECT_FALSE(a == "5") << Describe(a);  // a number never equals a String
  }
  EXPECT_TRUE(Variant(true) == -1);
  EXPECT_TRUE(Variant(Date{2.5}) == 2.5);
  EXPECT_TRUE(Variant() == 0);
  EXPECT_TRUE(Variant() == "");
  EXPECT_FALSE(Variant(0.1) == Variant(0.1f));  // a Single holds another value
  EXPECT_FALSE(Variant(std::nan("")) == Variant(std::nan("")));
}

TEST(Comparison, StringsCompareByteForByteAndCppValuesOnEitherSide) {
  const Variant port = Variant::Long(8080);
  EXPECT_TRUE(port == 8080);
  EXPECT_TRUE(8080 == port);
  EXPECT_TRUE(port != 8081);
  EXPECT_TRUE(port == 8080.0);
  EXPECT_TRUE(Variant("Zoë") == "Zoë");
  EXPECT_TRUE(Variant("abc") == std::string("abc"));
  EXPECT_FALSE(Variant("abc") == "ABC");
  EXPECT_FALSE(Variant("abc") == "abc ");
}

TEST(Comparison, NeverRaisesNullArraysAndUnreadableObjectsEqualNothing) {
  static_assert(noexcept(Variant() == Variant()));
  EXPECT_FALSE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant::Null() == 0);
  EXPECT_FALSE(Variant::Array({1}) == Variant::Array({1}));
  const auto plain = std::make_shared<Plain>();
  EXPECT_FALSE(Variant(plain) == 1);              // no default member: 438 is swallowed
  EXPECT_FALSE(Variant::Nothing() == 1);          // 91 is swallowed
  EXPECT_TRUE(Variant(plain) == Variant(plain));  // an object equals itself
  EXPECT_FALSE(Variant(plain) == Variant(std::make_shared<Plain>()));
  EXPECT_TRUE(Variant(testing::MapOf("k", 3)) == 3);  // read through Item at position 1
}

TEST(Comparison, AnIntStoredBackBecomesAnIntegerUnlessItsTypeIsNamed) {
  const TavrixPtr config = Tavrix::Create();
  config->SetObjectString("\\11000\\{port: \\3\\8080}");
  (*config)["port"] = CLng((*config)["port"]) + 1;
  EXPECT_EQ(config->GetObjectString(), "\\11000\\{port: \\2\\8081}");
  (*config)["port"] = Variant::Long(CLng((*config)["port"]) + 1);
  EXPECT_EQ(config->GetObjectString(), "\\11000\\{port: \\3\\8082}");
}

}  // namespace
}  // namespace quenlo
