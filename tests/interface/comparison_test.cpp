// Variant == Variant and Variant == C++ value compare as the runtime does.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

class Plain : public Object {};

// Which values are equal is the runtime comparison's table; here the operators that reach it,
// with C++ values on either side. Where the comparison raises or gives Null, they say unequal.
TEST(Comparison, ComparesAsTheRuntimeAndNeverRaises) {
  static_assert(noexcept(Variant() == Variant()));
  const Variant port = Variant::Long(8080);
  EXPECT_TRUE(port == 8080);
  EXPECT_TRUE(8080 == port);
  EXPECT_TRUE(port != 8081);
  EXPECT_TRUE(Variant("abc") == std::string("abc"));
  EXPECT_FALSE(Variant(5) == "5");  // a number never equals a String
  EXPECT_FALSE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant::Array({1}) == Variant::Array({1}));
  EXPECT_FALSE(Variant(std::make_shared<Plain>()) == 1);  // no default member: 438 is swallowed
  EXPECT_FALSE(Variant::Nothing() == 1);                  // 91 is swallowed
  EXPECT_TRUE(Variant(testing::MapOf("k", 3)) == 3);      // read through Item at position 1
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
