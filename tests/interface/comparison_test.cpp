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

// Which values are equal is the runtime comparison's table; here the operators that reach it.
TEST(Comparison, ComparesAsTheRuntimeWithCppValuesOnEitherSide) {
  const Variant port = Variant::Long(8080);
  EXPECT_TRUE(port == 8080);
  EXPECT_TRUE(8080 == port);
  EXPECT_TRUE(port != 8081);
  EXPECT_TRUE(port == 8080.0);
  EXPECT_TRUE(Variant(Currency{50000}) == Variant::Byte(5));
  EXPECT_FALSE(Variant(5) == "5");  // a number never equals a String
  EXPECT_TRUE(Variant("abc") == std::string("abc"));
  EXPECT_FALSE(Variant("abc") == "ABC");
  EXPECT_TRUE(Variant() == 0);
  EXPECT_TRUE(Variant() == "");
  EXPECT_FALSE(Variant(std::nan("")) == Variant(std::nan("")));
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
