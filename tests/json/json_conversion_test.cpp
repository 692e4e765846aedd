#include <gtest/gtest.h>

#include "quenlo/json.hpp"

namespace quenlo {
namespace {

TEST(JsonConversion, ObjectToMap) {
  const TavrixPtr tree = TreeFromJsonText(R"({"b": 1, "a": [true, "x"]})");
  EXPECT_EQ(tree->GetObjectString(), "\\11000\\{b: \\3\\1, a: \\11000\\[\\11\\True, \\8\\x]}");
}

}  // namespace
}  // namespace quenlo
