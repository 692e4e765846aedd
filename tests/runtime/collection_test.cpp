#include "quenlo/collection.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "runtime/keyed_filler.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

// Each item's text and, after a colon, its key: "a:ka b c:7".
std::string Listing(const Collection& collection) {
  std::string listing;
  for (std::int32_t position = 1; position <= collection.Count(); ++position) {
    if (position > 1) listing += ' ';
    listing += CStr(collection.At(position));
    if (const auto key = collection.KeyAt(position)) listing += ':' + *key;
  }
  return listing;
}

using testing::ErrorNumberOf;

// "a", "b", "c" under the keys "ka", "kb", "kc".
Collection ThreeKeyed() {
  Collection collection;
  for (const std::string item : {"a", "b", "c"}) collection.Add(item, "k" + item);
  return collection;
}

TEST(Collection, TextNamesAKeyAndANumberNamesAPosition) {
  Collection collection;
  collection.Add("first");
  collection.Add("under two", "2");
  collection.Add("third", "Two");
  collection.Add("fourth", 7);
  EXPECT_IDENTICAL(collection.Item("2"), Variant("under two"));
  EXPECT_IDENTICAL(collection.Item("7"), Variant("fourth"));
  // Positions close up after a removal; keys follow their items; a replacement has no key.
  collection.Remove(1);
  collection.Remove("Two");
  collection.ReplaceAt(1, "new");
  collection.Add("x", Variant::Missing(), 1);
  collection.Add("y", "2", Variant::Missing(), "7");
  collection.Add("z", Variant::Missing(), "2");
  EXPECT_EQ(Listing(collection), "x new fourth:7 z y:2");
  EXPECT_EQ(collection.PositionOf("2"), 5);
}

// Numbers round half to even (True is -1) and objects read through their default member.
TEST(Collection, ReadsAndFailedCallsThatRaiseTheirNumberAndChangeNothing) {
  Collection collection = ThreeKeyed();
  const testing::Values reads = {
      1.5, "b", 2.5, "b", Currency::FromScaled(30000), "c", testing::Holding(2), "b", testing::Holding("kc"),
      "c"};
  for (std::size_t at = 0; at < reads.size(); at += 2)
    EXPECT_IDENTICAL(collection.Item(reads[at]), reads[at + 1]);
  auto expect_error = [&](std::int32_t number, auto&& call) {
    EXPECT_EQ(ErrorNumberOf(call), number);
    EXPECT_EQ(Listing(collection), "a:ka b:kb c:kc");
  };
  expect_error(err::kSubscriptOutOfRange, [&] { collection.Item(true); });
  expect_error(err::kNotSupported, [&] { collection.Item(std::make_shared<Object>()); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.Item(0); });
  expect_error(err::kInvalidProcedureCall, [&] { collection.Item("KA"); });
  expect_error(err::kTypeMismatch, [&] { collection.Item(Variant::Null()); });
  expect_error(err::kDuplicateKey, [&] { collection.Add("d", "kb"); });
  expect_error(err::kInvalidProcedureCall, [&] { collection.Add("d", Variant::Missing(), 1, 2); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.Add("d", "kd", 4); });
  expect_error(err::kInvalidUseOfNull, [&] { collection.Add("d", Variant::Null()); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.InsertAt(5, "d"); });
  expect_error(err::kDuplicateKey, [&] { collection.InsertAt(1, "d", "kc"); });
  EXPECT_EQ(ErrorNumberOf([] { Collection().TakeFirst(); }), err::kSubscriptOutOfRange);
}

TEST(Collection, CopiesTakeKeysOnRequestAndShareObjects) {
  const auto object = std::make_shared<Object>();
  Collection original = ThreeKeyed();
  original.InsertAt(1, 5, "5");
  const Collection with_keys = original.Copy(true);
  const Collection without_keys = original.Copy(false);
  original.RemoveAt(1);
  original.At(1) = object;
  EXPECT_EQ(Listing(with_keys), "5:5 a:ka b:kb c:kc");
  EXPECT_EQ(Listing(without_keys), "5 a b c");
  EXPECT_EQ(with_keys.FindKey("kb"), 3);
  EXPECT_EQ(original.Copy(false).At(1).AsObject(), object);
  // A move hands everything over; clearing lets every item go.
  Collection moved = std::move(original);
  EXPECT_IDENTICAL(moved.Item("kc"), Variant("c"));
  moved.Clear();
  EXPECT_EQ(object.use_count(), 1);
}

// Drives a collection and a plain model through the same random changes, across the ring's
// wrap-around, its growth, the key index being built, dropped and rebuilt by a copy, and middle
// changes; keys are texts, integer texts and zero-padded integer texts. Seed 0 starts empty, the
// others from items appended under their positions' numbers, which hold those keys without
// storing them until a change in the middle, a keyless item or a replacement makes keys differ.
TEST(Collection, KeysFollowTheirItemsThroughRandomChanges) {
  const std::string key_forms[] = {"k", "", "0", "-", "a key too long to sit in the slot "};
  for (const unsigned seed : {0u, 1u, 2u, 3u}) {
    Collection collection;
    std::deque<std::pair<int, std::optional<std::string>>> model;
    for (int i = 1; i <= (seed == 0 ? 0 : 40); ++i) {
      ASSERT_TRUE(collection.AppendUnderFreeKey(-i, i));
      model.push_back({-i, std::to_string(i)});
    }
    if (seed > 0) {
      EXPECT_EQ(ErrorNumberOf([&] { collection.Append(0, "7"); }), err::kDuplicateKey);
    }
    std::mt19937 random(seed);
    auto pick = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
    for (int step = 0; step < 6000; ++step) {
      const auto count = static_cast<int>(model.size());
      // Stay mostly small at first, so that the scan and the index both get their turn.
      if (count == 0 || (count < (step < 2000 ? 12 : 300) && pick(2) == 0)) {
        const int position = pick(4) == 0 ? 1 : pick(3) == 0 ? count + 1 : 1 + pick(count + 1);
        std::optional<std::string> key;
        if (pick(4) != 0) key = key_forms[pick(5)] + std::to_string(step % 500 + 1);
        if (key &&
            std::any_of(model.begin(), model.end(), [&](const auto& entry) { return entry.second == key; })) {
          EXPECT_EQ(ErrorNumberOf([&] { collection.InsertAt(position, step, *key); }), err::kDuplicateKey);
          continue;
        }
        collection.InsertAt(position, step, key ? std::optional<std::string_view>(*key) : std::nullopt);
        model.insert(model.begin() + (position - 1), {step, key});
      } else if (pick(5) == 0) {
        const int position = 1 + pick(count);
        collection.ReplaceAt(position, -1);
        model[static_cast<std::size_t>(position - 1)] = {-1, std::nullopt};
      } else {
        const int position = pick(3) == 0 ? 1 : pick(2) == 0 ? count : 1 + pick(count);
        if (position == 1) {
          EXPECT_IDENTICAL(collection.TakeFirst(), Variant(model.front().first));
        } else {
          collection.RemoveAt(position);
        }
        model.erase(model.begin() + (position - 1));
      }
      if (step % 97 == 0) collection = collection.Copy(true);
      std::string expected;
      for (std::size_t i = 0; i < model.size(); ++i) {
        expected += (i > 0 ? " " : "") + std::to_string(model[i].first) +
                    (model[i].second ? ":" + *model[i].second : "");
        if (model[i].second) {
          ASSERT_EQ(collection.FindKey(*model[i].second), static_cast<std::int32_t>(i + 1))
              << "step " << step;
        }
      }
      ASSERT_EQ(Listing(collection), expected) << "step " << step;
    }
  }
}

// A key that is an integer's plain text ("7", "-12") and every other text ("07", "-0", "+1")
// are different keys. Texts of up to seven bytes are held in the slot, longer ones apart: each
// is found and read back exactly, by a scan and by the index, whichever way it is held.
TEST(Collection, KeyTextsAreFoundAndReadBackExactly) {
  using namespace std::string_literals;
  const std::vector<std::string> keys = {"7",          "07",       "-0",      "0",       "-2147483648",
                                         "2147483648", "+1",       "1 ",      "-12",     "",
                                         "abcdefg",    "abcdefgh", "1234567", "0123456", "1234567 ",
                                         "12345678",   "a\0"s,     "a\0b"s,   "\0"s,     "\xFF\xFE\x80"};
  Collection collection;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    collection.Add(static_cast<int>(i), keys[i]);
    // The first eight are found by a scan, the rest through the index.
    for (std::size_t j = 0; j <= i; ++j) {
      ASSERT_EQ(collection.FindKey(keys[j]), static_cast<std::int32_t>(j + 1)) << i << ' ' << j;
      ASSERT_EQ(collection.KeyAt(static_cast<std::int32_t>(j + 1)), keys[j]);
    }
  }
  for (const std::string& absent : {"1"s, "010"s, "a"s, "abcdefgi"s, "1234568"s, "\0\0"s, "a\0c"s}) {
    EXPECT_FALSE(collection.FindKey(absent)) << absent;
  }
  EXPECT_EQ(ErrorNumberOf([&] { collection.Add(0, -12); }), err::kDuplicateKey);
  EXPECT_EQ(ErrorNumberOf([&] { collection.Add(0, "a\0"s); }), err::kDuplicateKey);
}

// Keys up to the largest integer key ever held are looked up, whatever was removed since.
TEST(Collection, AppendUnderFreeKeyGivesTheKeyOnlyWhenNoItemHoldsIt) {
  Collection collection;
  for (std::int32_t i = 1; i <= 12; ++i) EXPECT_TRUE(collection.AppendUnderFreeKey(i, i));
  collection.RemoveAt(12);
  collection.RemoveAt(3);
  EXPECT_TRUE(collection.AppendUnderFreeKey("twelve", 12));
  EXPECT_FALSE(collection.AppendUnderFreeKey("eleven", "11"));
  EXPECT_TRUE(collection.AppendUnderFreeKey("three", "3"));
  EXPECT_FALSE(collection.AppendUnderFreeKey("three", "3"));
  EXPECT_EQ(Listing(collection),
            "1:1 2:2 4:4 5:5 6:6 7:7 8:8 9:9 10:10 11:11 twelve:12 eleven three:3 three");
  // The mark is the largest key ever held, not the last one, and copies and moves keep it.
  Collection small;
  small.Add("fifty", "50");
  small.Add("ten", "10");
  collection = small.Copy(true);
  EXPECT_FALSE(collection.AppendUnderFreeKey("again", 50));
  EXPECT_EQ(Listing(collection), "fifty:50 ten:10 again");
}

// A filler checks its keys only when it hands its items over, yet gives exactly what appending
// each item in turn gives when an item under a key already present replaces that key's item:
// with few items and many, keys given once, twice or more, short, long and integer texts.
TEST(Collection, AFillerGivesWhatAppendingEachItemInTurnGives) {
  std::mt19937 random(20261206);
  const std::string key_forms[] = {"k", "", "0", "a key too long to sit in the slot "};
  for (const int size : {0, 1, 5, 8, 9, 40, 3000, 20000}) {
    for (const int pool : {size / 2 + 1, 4 * size + 1}) {
      KeyedFiller filler;
      Collection expected;
      for (int i = 0; i < size; ++i) {
        const int drawn = std::uniform_int_distribution<int>(0, pool - 1)(random);
        const std::string key = key_forms[drawn % 4] + std::to_string(drawn);
        filler.Append(i, key);
        if (const auto position = expected.FindKey(key)) {
          expected.At(*position) = i;
        } else {
          expected.Append(i, key);
        }
      }
      const Collection filled = std::move(filler).Take();
      ASSERT_EQ(Listing(filled), Listing(expected)) << size << ' ' << pool;
      for (std::int32_t position = 1; position <= filled.Count(); ++position) {
        ASSERT_EQ(filled.FindKey(*filled.KeyAt(position)), position) << size << ' ' << pool;
      }
      EXPECT_FALSE(filled.FindKey("absent"));
    }
  }
}

// Keys appended in order under their positions' numbers stay free of storage through a filler,
// and a key given twice among them still merges.
TEST(Collection, AFillerKeepsPositionKeysAndMergesThemWhenGivenTwice) {
  KeyedFiller positions;
  for (int i = 1; i <= 20; ++i) positions.Append(-i, std::to_string(i));
  positions.Append(0, "3");
  const Collection filled = std::move(positions).Take();
  EXPECT_EQ(filled.Count(), 20);
  EXPECT_IDENTICAL(filled.Item("3"), Variant(0));
  EXPECT_IDENTICAL(filled.Item("20"), Variant(-20));
  EXPECT_EQ(ErrorNumberOf([&] { filled.Item("21"); }), err::kInvalidProcedureCall);
}

}  // namespace
}  // namespace quenlo
