// operator<< and {fmt} formatting of values and containers.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"
#ifdef QUENLO_TEST_FMT
#include "quenlo/fmt.hpp"
#endif

namespace quenlo {
namespace {

class Plain : public Object {};

std::string Printed(const auto& value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// A scalar prints the text the runtime gives it (its table is in the conversion tests).
TEST(Printing, AValuePrintsItsTextAndNeverRaises) {
  EXPECT_EQ(Printed(Variant("Zoë")), "Zoë");
  EXPECT_EQ(Printed(Variant::Null()), "");
  EXPECT_EQ(Printed(Variant::Array({1, "a", Variant::Array({2.5})})), "{1, a, {2.5}}");
  EXPECT_EQ(Printed(Variant(testing::MapOf("a", 1))), "\\11000\\{a: \\2\\1}");
  EXPECT_EQ(Printed(Variant::Nothing()), "<Nothing>");
  EXPECT_EQ(Printed(Variant(std::make_shared<Plain>())), "<Object>");
  EXPECT_EQ(Printed(Variant(Date{1e9})), "<Date>");
}

TEST(Printing, AContainerPrintsItsObjectStringOrRaisesWhenItCannotBeWritten) {
  const TavrixPtr map = testing::MapOf("name", "bolt", "sizes", testing::Make(KindUnboundedArray, {4, 6}));
  EXPECT_EQ(Printed(*map), "\\11000\\{name: \\8\\bolt, sizes: \\11000\\[\\2\\4, \\2\\6]}");
  EXPECT_EQ(Printed((*map)["sizes"][2]), "6");

  TavrixPtr deep = Tavrix::Create();
  for (int level = 0; level < 1100; ++level) {
    const TavrixPtr outer = Tavrix::Create();
    outer->Item(1, deep);
    deep = outer;
  }
  testing::ExpectError(err::kOutOfStackSpace, [&] { Printed(*deep); });
  EXPECT_EQ(Printed(Variant(deep)), "<Tavrix>");
}

#ifdef QUENLO_TEST_FMT
TEST(Printing, FmtFormatsAsOperatorShiftDoes) {
  const TavrixPtr map = testing::MapOf("port", Variant::Long(8080));
  EXPECT_EQ(fmt::format("{}|{:>6}|{}", *map, (*map)["port"], Variant(2.5)),
            "\\11000\\{port: \\3\\8080}|  8080|2.5");
}
#endif

}  // namespace
}  // namespace quenlo
