// What survives writing and reading back, and what does not; random trees within the rules;
// the nesting limit of both directions.
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
  const TavrixPtr array = serial_test::ArrayOf(
      {"ab ", " ab", "x, \\8\\y", Variant(), Variant::Null(), MakeKind(KindNil)}, KindBoundedArray);
  const TavrixPtr read = Read(array->GetObjectString());
  EXPECT_EQ(read->Kind(), KindUnboundedArray);
  EXPECT_EQ(read->GetObjectString(), R"(\11000\[\8\ab, \8\ ab, \8\x, \8\y, \8\, \8\, \8\nil])");
}

// Random trees within the round-trip rules: no delimiters and no spaces at the edges of texts,
// no empty keys, no bounded arrays, no nested Variant or Nil containers.
std::uint32_t Below(std::mt19937& rng, std::uint32_t limit) {
  return static_cast<std::uint32_t>(rng() % limit);
}

// Letters, digits, backslashes, inner spaces and non-ASCII characters.
std::string MakeText(std::mt19937& rng) {
  static constexpr const char* kPieces[] = {"a", "Z", "7", "\\", " ", "\u00E9", "\u20AC", "-", "."};
  std::string text = "t";
  for (std::uint32_t index = 0, size = Below(rng, 8); index < size; ++index) text += kPieces[Below(rng, 9)];
  return text + 'e';
}

Variant MakeScalar(std::mt19937& rng) {
  const auto number = static_cast<std::int32_t>(rng());
  const Variant scalars[] = {Variant::Integer(static_cast<std::int16_t>(number)),
                             Variant::Long(number),
                             number / 64.0,
                             number % 2 == 0,
                             static_cast<std::uint8_t>(number),
                             Currency::FromScaled(number),
                             MakeText(rng),
                             MakeText(rng)};
  return scalars[Below(rng, 8)];
}

TavrixPtr MakeTree(std::mt19937& rng, int depth) {
  static constexpr TavrixKind kKinds[] = {KindMap, KindUnboundedArray, KindSet, KindStack, KindQueue};
  TavrixPtr container = MakeKind(kKinds[Below(rng, 5)]);
  std::vector<Variant> members;
  for (std::uint32_t index = 1, count = Below(rng, 6); index <= count; ++index) {
    Variant value = depth > 0 && Below(rng, 4) == 0 ? Variant(MakeTree(rng, depth - 1)) : MakeScalar(rng);
    if (container->Kind() == KindMap) {
      container->Item(MakeText(rng) + std::to_string(index), std::move(value));  // unique keys
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

TEST(ObjectStringRoundTrip, RandomTreesReadBackEqual) {
  std::mt19937 rng(1);
  for (int tree = 0; tree < 300; ++tree) {
    const std::string text = MakeTree(rng, 4)->GetObjectString();
    EXPECT_EQ(Read(text)->GetObjectString(), text);
  }
}

// A chain of `nested` arrays below a top-level array, the innermost one empty.
std::string NestedArraysText(int nested) {
  std::string text = "\\11000\\[";
  for (int level = 0; level < nested; ++level) text += "\\11000\\[";
  return text.append(static_cast<std::size_t>(nested) + 1, ']');
}

TEST(ObjectStringRoundTrip, WritesAndReads1024LevelsAndRefusesDeeperWithError28) {
  const TavrixPtr top = Read(NestedArraysText(1024));
  EXPECT_EQ(top->GetObjectString(), NestedArraysText(1024));
  TavrixPtr innermost = top;
  while (innermost->Length() > 0) innermost = innermost->Item(1).ObjectAs<Tavrix>();
  innermost->AddLast(MakeKind(KindUnboundedArray));
  serial_test::ExpectError(28, [&] { (void)top->GetObjectString(); });
  EXPECT_EQ(top->Item(1).ObjectAs<Tavrix>()->GetObjectString(),
            NestedArraysText(1024));  // nothing left marked
  serial_test::ExpectReadFails(28, NestedArraysText(1025));
  serial_test::ExpectReadFails(28, NestedArraysText(200000));
}

}  // namespace
}  // namespace quenlo
