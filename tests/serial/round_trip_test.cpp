// What survives writing and reading back, and what does not; random trees within the rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "quenlo/tavrix.hpp"
#include "serial/serial_support.hpp"

namespace quenlo {
namespace {

using serial_test::MakeKind;
using serial_test::Read;

TEST(ObjectStringRoundTrip, LosesWhatTheRulesSayItLoses) {
  const TavrixPtr array = MakeKind(KindBoundedArray);
  array->AddLast("ab ");
  array->AddLast(" ab");
  array->AddLast("x, \\8\\y");
  array->AddLast(Variant());
  array->AddLast(Variant::Null());
  const TavrixPtr nil = MakeKind(KindNil);
  array->AddLast(nil);
  const TavrixPtr read = Read(array->GetObjectString());
  EXPECT_EQ(read->Kind(), KindUnboundedArray);
  ASSERT_EQ(read->Length(), 7);
  EXPECT_EQ(read->Item(1), Variant("ab"));
  EXPECT_EQ(read->Item(2), Variant(" ab"));
  EXPECT_EQ(read->Item(3), Variant("x"));
  EXPECT_EQ(read->Item(4), Variant("y"));
  EXPECT_EQ(read->Item(5), Variant(""));
  EXPECT_EQ(read->Item(6), Variant(""));
  EXPECT_EQ(read->Item(7), Variant("nil"));

  const TavrixPtr single = Tavrix::Create();
  single->Item(1, "ab ");
  EXPECT_EQ(Read(single->GetObjectString())->Item(1), Variant("ab "));
  single->Item(1, "x, y");
  EXPECT_EQ(Read(single->GetObjectString())->Item(1), Variant("x, y"));
}

// Random trees within the round-trip rules: no delimiters and no spaces at the edges of texts,
// no empty keys, no bounded arrays, no nested Variant or Nil containers.
class TreeMaker {
 public:
  explicit TreeMaker(std::uint32_t seed) : random_(seed) {}

  TavrixPtr MakeTree(int depth) {
    static constexpr TavrixKind kKinds[] = {KindMap, KindUnboundedArray, KindSet, KindStack, KindQueue};
    TavrixPtr container = MakeKind(kKinds[Below(5)]);
    std::vector<Variant> members;
    const int count = static_cast<int>(Below(6));
    for (int index = 1; index <= count; ++index) {
      Variant value = depth > 0 && Below(4) == 0 ? Variant(MakeTree(depth - 1)) : MakeScalar();
      if (container->Kind() == KindMap) {
        std::string key = Text();
        key += std::to_string(index);  // unique
        container->Item(key, std::move(value));
      } else if (container->Kind() == KindStack || container->Kind() == KindQueue) {
        container->Push(value);
      } else if (container->Kind() == KindSet) {
        members.push_back(std::move(value));
      } else {
        container->AddLast(value);
      }
    }
    if (container->Kind() == KindSet) container->SetSet(std::span<const Variant>(members));
    return container;
  }

 private:
  Variant MakeScalar() {
    switch (Below(8)) {
      case 0:
        return Variant::Integer(static_cast<std::int16_t>(Below(65536) - 32768));
      case 1:
        return Variant::Long(static_cast<std::int32_t>(random_()));
      case 2:
        return Variant::Double(static_cast<double>(static_cast<std::int32_t>(random_())) / 64.0);
      case 3:
        return Variant::Boolean(Below(2) == 0);
      case 4:
        return Variant::Byte(static_cast<std::uint8_t>(Below(256)));
      case 5:
        return Variant(Currency::FromScaled(static_cast<std::int32_t>(random_())));
      default:
        return Variant(Text());
    }
  }

  // Letters, digits, backslashes, inner spaces and non-ASCII characters.
  std::string Text() {
    static constexpr const char* kPieces[] = {"a", "Z", "7", "\\", " ", "\u00E9", "\u20AC", "-", "."};
    std::string text = "t";
    const std::uint32_t size = Below(8);
    for (std::uint32_t index = 0; index < size; ++index) text += kPieces[Below(9)];
    text += 'e';
    return text;
  }

  std::uint32_t Below(std::uint32_t limit) { return static_cast<std::uint32_t>(random_() % limit); }

  std::mt19937 random_;
};

TEST(ObjectStringRoundTrip, RandomTreesReadBackEqual) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    const TavrixPtr tree = TreeMaker(seed).MakeTree(4);
    const std::string text = tree->GetObjectString();
    const TavrixPtr read = Read(text);
    EXPECT_EQ(read->Kind(), tree->Kind()) << text;
    EXPECT_EQ(read->GetObjectString(), text);
  }
}

}  // namespace
}  // namespace quenlo
