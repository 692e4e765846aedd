#include "quenlo/collection.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/object.hpp"

namespace quenlo {
namespace {

// What a collection holds, in order: each item and its key.
struct Entry {
  Variant value;
  std::optional<std::string> key;
  friend bool operator==(const Entry&, const Entry&) = default;
};

std::vector<Entry> Contents(const Collection& collection) {
  std::vector<Entry> entries;
  for (std::int32_t position = 1; position <= collection.Count(); ++position) {
    entries.push_back({collection.At(position), collection.KeyAt(position)});
  }
  return entries;
}

template <class Call>
std::int32_t ErrorNumberOf(Call&& call) {
  try {
    call();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

// The collection a, b, c under the keys "ka", "kb", "kc".
Collection ThreeKeyed() {
  Collection collection;
  collection.Add("a", "ka");
  collection.Add("b", "kb");
  collection.Add("c", "kc");
  return collection;
}

// An object whose default member reads as a fixed value.
class Reading : public Object {
 public:
  explicit Reading(Variant value) : value_(std::move(value)) {}
  bool HasDefaultMember() const noexcept override { return true; }
  Variant DefaultMember() const override { return value_; }

 private:
  Variant value_;
};

// An object that notes its number in a shared list when it is released.
class Witness : public Object {
 public:
  Witness(int number, std::vector<int>* released) : number_(number), released_(released) {}
  ~Witness() override { released_->push_back(number_); }

 private:
  int number_;
  std::vector<int>* released_;
};

TEST(Collection, TextNamesAKeyAndANumberNamesAPosition) {
  Collection collection;
  collection.Add("first");
  collection.Add("under two", "2");
  collection.Add("third", "Two");
  collection.Add("fourth", 7);
  EXPECT_EQ(collection.Item("2"), Variant("under two"));
  EXPECT_EQ(collection.Item(2), Variant("under two"));
  EXPECT_EQ(collection.Item("7"), Variant("fourth"));
  EXPECT_EQ(ErrorNumberOf([&] { collection.Item("two"); }), err::kInvalidProcedureCall);
  // Positions close up after a removal; keys follow their items.
  collection.Remove(1);
  EXPECT_EQ(Contents(collection),
            (std::vector<Entry>{{"under two", "2"}, {"third", "Two"}, {"fourth", "7"}}));
  EXPECT_EQ(collection.Item("Two"), Variant("third"));
  collection.Remove("2");
  EXPECT_EQ(collection.PositionOf("7"), 2);
}

TEST(Collection, NumbersRoundHalfToEvenAndObjectsReadThroughTheirDefaultMember) {
  Collection collection = ThreeKeyed();
  EXPECT_EQ(collection.Item(1.5), Variant("b"));
  EXPECT_EQ(collection.Item(2.5), Variant("b"));
  EXPECT_EQ(collection.Item(Currency::FromScaled(30000)), Variant("c"));
  EXPECT_EQ(ErrorNumberOf([&] { collection.Item(true); }), err::kSubscriptOutOfRange);  // True is -1
  EXPECT_EQ(collection.Item(std::make_shared<Reading>(Variant(2))), Variant("b"));
  EXPECT_EQ(collection.Item(std::make_shared<Reading>(Variant("kc"))), Variant("c"));
  EXPECT_EQ(ErrorNumberOf([&] { collection.Item(std::make_shared<Object>()); }), err::kNotSupported);
}

TEST(Collection, AddBeforeAndAfterByPositionAndKey) {
  Collection collection = ThreeKeyed();
  collection.Add("x", Variant::Missing(), 1);
  collection.Add("y", Variant::Missing(), "kc");
  collection.Add("z", "kz", Variant::Missing(), "ka");
  collection.Add("w", Variant::Missing(), Variant::Missing(), 6);
  EXPECT_EQ(Contents(collection), (std::vector<Entry>{{"x", std::nullopt},
                                                      {"a", "ka"},
                                                      {"z", "kz"},
                                                      {"b", "kb"},
                                                      {"y", std::nullopt},
                                                      {"c", "kc"},
                                                      {"w", std::nullopt}}));
  EXPECT_EQ(collection.Item("kc"), Variant("c"));
  EXPECT_EQ(collection.PositionOf("kz"), 3);
}

TEST(Collection, FailedCallsRaiseTheirNumberAndChangeNothing) {
  Collection collection = ThreeKeyed();
  const std::vector<Entry> before = Contents(collection);
  auto expect_error = [&](std::int32_t number, auto&& call) {
    EXPECT_EQ(ErrorNumberOf(call), number);
    EXPECT_EQ(Contents(collection), before);
  };
  expect_error(err::kSubscriptOutOfRange, [&] { collection.Item(0); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.Item(4); });
  expect_error(err::kInvalidProcedureCall, [&] { collection.Item("KA"); });
  expect_error(err::kTypeMismatch, [&] { collection.Item(Variant::Null()); });
  expect_error(err::kDuplicateKey, [&] { collection.Add("d", "kb"); });
  expect_error(err::kInvalidProcedureCall, [&] { collection.Add("d", Variant::Missing(), 1, 2); });
  expect_error(err::kInvalidProcedureCall, [&] { collection.Add("d", "kd", "nowhere"); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.Add("d", "kd", 4); });
  expect_error(err::kInvalidUseOfNull, [&] { collection.Add("d", Variant::Null()); });
  expect_error(err::kInvalidProcedureCall, [&] { collection.Remove("kd"); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.KeyAt(0); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.InsertAt(5, "d"); });
  expect_error(err::kDuplicateKey, [&] { collection.InsertAt(1, "d", "kc"); });
  expect_error(err::kSubscriptOutOfRange, [&] { collection.ReplaceAt(0, "d"); });
  Collection empty;
  EXPECT_EQ(ErrorNumberOf([&] { empty.TakeFirst(); }), err::kSubscriptOutOfRange);
}

TEST(Collection, ReplaceAtTakesThePositionWithoutTheKey) {
  Collection collection = ThreeKeyed();
  collection.ReplaceAt(2, "B");
  EXPECT_EQ(Contents(collection), (std::vector<Entry>{{"a", "ka"}, {"B", std::nullopt}, {"c", "kc"}}));
  EXPECT_FALSE(collection.FindKey("kb"));
  EXPECT_EQ(ErrorNumberOf([&] { collection.Item("kb"); }), err::kInvalidProcedureCall);
  collection.Append("b again", "kb");
  EXPECT_EQ(collection.FindKey("kb"), 4);
}

TEST(Collection, CopiesTakeKeysOnRequestAndShareObjects) {
  const auto object = std::make_shared<Object>();
  Collection original = ThreeKeyed();
  original.InsertAt(2, object);
  original.InsertAt(1, 5, "5");
  const Collection with_keys = original.Copy(true);
  const Collection without_keys = original.Copy(false);
  EXPECT_EQ(Contents(with_keys), Contents(original));
  EXPECT_EQ(with_keys.At(3).AsObject(), object);
  EXPECT_EQ(Contents(without_keys), (std::vector<Entry>{{5, std::nullopt},
                                                        {"a", std::nullopt},
                                                        {object, std::nullopt},
                                                        {"b", std::nullopt},
                                                        {"c", std::nullopt}}));
  original.RemoveAt(1);
  original.At(1) = "changed";
  EXPECT_EQ(with_keys.FindKey("ka"), 2);
  EXPECT_EQ(with_keys.FindKey("5"), 1);
  // A move hands everything over.
  Collection moved;
  moved.Append("old");
  moved = std::move(original);
  EXPECT_EQ(moved.Item("kc"), Variant("c"));
}

TEST(Collection, ClearAndDestructionReleaseFrontToBack) {
  std::vector<int> released;
  {
    Collection collection;
    collection.Append(std::make_shared<Witness>(1, &released));
    collection.InsertAt(1, std::make_shared<Witness>(0, &released));
    collection.Clear();
    EXPECT_EQ(collection.Count(), 0);
    EXPECT_EQ(released, (std::vector<int>{0, 1}));
    released.clear();
    collection.Append(std::make_shared<Witness>(7, &released));
    collection.InsertAt(1, std::make_shared<Witness>(6, &released), "six");
    EXPECT_EQ(collection.FindKey("six"), 1);
  }
  EXPECT_EQ(released, (std::vector<int>{6, 7}));
}

// Drives a collection and a plain model through the same random changes, across the ring's
// wrap-around, its growth, the key index being built, dropped and rebuilt by a copy, and middle
// changes; keys are texts, integer texts and zero-padded integer texts.
TEST(Collection, KeysFollowTheirItemsThroughRandomChanges) {
  std::mt19937 random(20261206);
  Collection collection;
  std::deque<Entry> model;
  int next_value = 0;
  auto pick = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
  const std::string key_forms[] = {"k", "", "0", "-"};
  for (int step = 0; step < 6000; ++step) {
    const auto count = static_cast<int>(model.size());
    // Stay mostly small at first, so that the scan and the index both get their turn.
    const int ceiling = step < 2000 ? 12 : 300;
    if (count == 0 || (count < ceiling && pick(2) == 0)) {
      const int position = pick(4) == 0 ? 1 : pick(3) == 0 ? count + 1 : 1 + pick(count + 1);
      std::optional<std::string> key;
      if (pick(4) != 0) key = key_forms[pick(4)] + std::to_string(next_value % 500 + 1);
      const Variant value(next_value++);
      if (key && std::find_if(model.begin(), model.end(), [&](const Entry& e) { return e.key == key; }) !=
                     model.end()) {
        EXPECT_EQ(ErrorNumberOf([&] { collection.InsertAt(position, value, *key); }), err::kDuplicateKey);
        continue;
      }
      collection.InsertAt(position, value, key ? std::optional<std::string_view>(*key) : std::nullopt);
      model.insert(model.begin() + (position - 1), Entry{value, key});
    } else if (pick(5) == 0) {
      const int position = 1 + pick(count);
      collection.ReplaceAt(position, Variant(-1));
      model[static_cast<std::size_t>(position - 1)] = Entry{Variant(-1), std::nullopt};
    } else {
      const int position = pick(3) == 0 ? 1 : pick(2) == 0 ? count : 1 + pick(count);
      if (position == 1) {
        EXPECT_EQ(collection.TakeFirst(), model.front().value);
      } else {
        collection.RemoveAt(position);
      }
      model.erase(model.begin() + (position - 1));
    }
    if (step % 97 == 0) collection = collection.Copy(true);
    ASSERT_EQ(Contents(collection), std::vector<Entry>(model.begin(), model.end())) << "step " << step;
    for (std::size_t i = 0; i < model.size(); ++i) {
      const auto position = static_cast<std::int32_t>(i + 1);
      if (model[i].key) {
        ASSERT_EQ(collection.FindKey(*model[i].key), position) << "step " << step;
      }
    }
  }
  EXPECT_FALSE(collection.FindKey("k-none"));
}

// A key that is an integer's plain text ("7", "-12") and every other text ("07", "-0", "+1")
// name different keys; an integer index names a position, its text the key.
TEST(Collection, IntegerTextsAndOtherTextsAreDistinctKeys) {
  Collection collection;
  const std::vector<std::string> keys = {"7",          "07", "-0", "0",  "-2147483648",
                                         "2147483648", "+1", "1 ", "-12"};
  for (const std::string& key : keys) collection.Add("under " + key, key);
  for (std::int32_t position = 1; position <= 9; ++position) {
    const std::string& key = keys[static_cast<std::size_t>(position - 1)];
    EXPECT_EQ(collection.KeyAt(position), key);
    EXPECT_EQ(collection.Item(key), Variant("under " + key));
  }
  EXPECT_FALSE(collection.FindKey("1"));
  EXPECT_FALSE(collection.FindKey("-00"));
  EXPECT_EQ(ErrorNumberOf([&] { collection.Add("again", 7); }), err::kDuplicateKey);
  collection.Add("ten", "10");  // the tenth item: lookups now go through the index
  EXPECT_EQ(collection.FindKey("-12"), 9);
  EXPECT_EQ(collection.FindKey("10"), 10);
  EXPECT_FALSE(collection.FindKey("010"));
}

// Keys up to the largest integer key ever held are looked up, whatever was removed since;
// keys above it are free.
TEST(Collection, AppendUnderFreeKeyGivesTheKeyOnlyWhenNoItemHoldsIt) {
  Collection collection;
  for (std::int32_t i = 1; i <= 20; ++i) EXPECT_TRUE(collection.AppendUnderFreeKey(i, i));
  collection.RemoveAt(20);
  collection.RemoveAt(3);
  EXPECT_TRUE(collection.AppendUnderFreeKey("twenty", 20));
  EXPECT_FALSE(collection.AppendUnderFreeKey("nineteen", "19"));
  EXPECT_TRUE(collection.AppendUnderFreeKey("three", "3"));
  EXPECT_TRUE(collection.AppendUnderFreeKey("oh three", "03"));
  EXPECT_FALSE(collection.AppendUnderFreeKey("oh three again", "03"));
  EXPECT_EQ(collection.FindKey("20"), 19);
  EXPECT_FALSE(collection.KeyAt(20));
  EXPECT_EQ(collection.FindKey("3"), 21);
  // The mark is the largest key ever held, not the last one, and copies and moves keep it.
  Collection small;
  small.Add("fifty", "50");
  small.Add("ten", "10");
  Collection moved = small.Copy(true);
  EXPECT_FALSE(moved.AppendUnderFreeKey("again", 50));
  collection = std::move(moved);
  EXPECT_FALSE(collection.AppendUnderFreeKey("again", 50));
  EXPECT_EQ(
      Contents(collection),
      (std::vector<Entry>{{"fifty", "50"}, {"ten", "10"}, {"again", std::nullopt}, {"again", std::nullopt}}));
}

TEST(Collection, MillionItemQueueAndStack) {
  constexpr std::int32_t kItems = 1000000;
  Collection queue;
  for (std::int32_t i = 0; i < kItems; ++i) queue.Append(Variant::Long(i));
  std::int32_t out_of_order = 0;
  for (std::int32_t i = 0; i < kItems; ++i) out_of_order += queue.TakeFirst() == Variant::Long(i) ? 0 : 1;
  Collection stack;
  for (std::int32_t i = 0; i < kItems; ++i) stack.InsertAt(1, Variant::Long(i));
  for (std::int32_t i = kItems - 1; i >= 0; --i)
    out_of_order += stack.TakeFirst() == Variant::Long(i) ? 0 : 1;
  EXPECT_EQ(out_of_order, 0);
  EXPECT_EQ(queue.Count() + stack.Count(), 0);
}

}  // namespace
}  // namespace quenlo
