// What survives writing and reading back, and what does not, and the nesting limit of both
// directions. Texts within the round-trip rules reading back equal is the object-string fuzz
// target's check.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "quenlo/conversion.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using testing::Make;
using testing::Read;

TEST(ObjectStringRoundTrip, LosesWhatTheRulesSayItLoses) {
  const TavrixPtr array =
      Make(KindBoundedArray, {"ab ", " ab", "x, \\8\\y", Variant(), Variant::Null(), Make(KindNil)}, 6);
  const TavrixPtr read = Read(array->GetObjectString());
  EXPECT_EQ(read->Kind(), KindUnboundedArray);
  EXPECT_EQ(read->GetObjectString(), R"(\11000\[\8\ab, \8\ ab, \8\x, \8\y, \8\, \8\, \8\nil])");
}

// A Double or Single that is not a finite number, and a Date with a time of day inside a
// container, whose text the ':' marks split, read back as what was written.
TEST(ObjectStringRoundTrip, NonFiniteNumbersAndTimesOfDayReadBackEqual) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const Variant time = Date{0.5208333333333334};    // 12:30:00
  const Variant moment = Date{46362.627835648148};  // 2026-12-06 15:04:05
  const TavrixPtr array = testing::ArrayOf(
      {std::nan(""), kInfinity, -kInfinity, std::nanf(""), static_cast<float>(kInfinity),
       -static_cast<float>(kInfinity), time, moment,
       testing::MapOf("time", time, "moment", moment, "after", 1), Make(KindQueue, {moment}), Make(KindSet)});
  const std::string text = array->GetObjectString();
  EXPECT_NE(text.find(R"(\5\NaN, \5\Infinity, \5\-Infinity, \4\NaN)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"(\7\12:30:00, \7\2026-12-06 15:04:05)"), std::string::npos) << text;
  const TavrixPtr read = Read(text);
  EXPECT_EQ(read->GetObjectString(), text);
  EXPECT_TRUE(std::isnan(read->Item(1).AsDouble()));
  EXPECT_EQ(VarType(read->Item(4)), vbSingle);
  EXPECT_EQ(read->Item(7), time);

  // The one value of a top-level Variant-kind container is read whole.
  for (const Variant& value : {Variant(std::nan("")), Variant(-static_cast<float>(kInfinity)), moment}) {
    const TavrixPtr single = testing::VariantOf(value);
    EXPECT_EQ(Read(single->GetObjectString())->GetObjectString(), single->GetObjectString());
  }
}

// A Date followed by a ':' that already read is read as before, and pieces that make no time
// fail as before.
TEST(ObjectStringRoundTrip, TextsThatReadOrFailedBeforeStillDo) {
  EXPECT_EQ(Read(R"(\11000\{a: \7\2026-12-06:b: \2\3})")->GetObjectString(),
            R"(\11000\{a: \7\2026-12-06, b: \2\3})");
  testing::ExpectReadFails(13, R"(\11000\[\7\12:xx])");
  testing::ExpectReadFails(13, R"(\11000\[\5\nan])");
  testing::ExpectReadFails(5, R"(\11000\[\7\12:30:00:00])");  // the third ':' is read as an element
}

}  // namespace
}  // namespace quenlo
