// Members that read the default member of a caller's object, whose code changes or releases
// the very container the member works on: the member stops with error 10 and changes nothing
// more, or, when the container was only released, finishes with the right result; it never
// touches freed storage (AddressSanitizer runs these too).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

// A caller's object that reads as `value` and, the first time it is read, runs `act`.
class Meddler final : public Object {
 public:
  explicit Meddler(Variant value) : value_(std::move(value)) {}
  bool HasDefaultMember() const noexcept override { return true; }
  Variant DefaultMember() const override {
    if (act) std::exchange(act, nullptr)();
    return value_;
  }
  mutable std::function<void()> act;

 private:
  Variant value_;
};

enum class Meddling { kNothing, kClear, kSetNil, kSetMap, kStore, kRelease };

void Meddle(Meddling meddling, Tavrix& t) {
  if (meddling == Meddling::kClear) t.Kind() == KindVariant ? t.SetVariant() : t.RemoveAll();
  if (meddling == Meddling::kSetNil) t.SetNil();
  if (meddling == Meddling::kSetMap) t.SetMap();
  if (meddling == Meddling::kStore) t.Item(1, "changed");
}

std::string TextOf(const Tavrix& t) try { return t.GetObjectString(); } catch (const Error& error) {
  return "error " + std::to_string(error.Number());
}

struct MemberCase {
  const char* name;
  TavrixKind kind;
  // The elements, which may include the caller's object (a Map's are "a", "b", "c" → them).
  std::function<std::vector<Variant>(const Variant& meddler)> elements;
  Variant meddler_reads;
  std::function<Variant(Tavrix&, const Variant& meddler)> call;
  Variant result;              // when the object changes nothing
  std::string text_after;      // the same, "" where the text is not checked
  bool answers_false = false;  // Exists never raises: a change makes it answer False
};

std::vector<Variant> OneTwoThree(const Variant&) {
  return {1, "two", 3};
}

Variant StoreNew(Tavrix& t, const Variant& index) {
  t.Item(index, "new");
  return Variant();
}

Variant FindIt(Tavrix& t, const Variant& m) {
  return t.Find(m);
}

TavrixPtr Build(const MemberCase& member, const Variant& meddler) {
  const TavrixPtr t = Make(member.kind);
  const std::vector<Variant> elements = member.elements(meddler);
  for (std::size_t at = 0; at < elements.size(); ++at) {
    if (member.kind == KindMap) t->Item(std::string(1, static_cast<char>('a' + at)), elements[at]);
    if (member.kind == KindUnboundedArray) t->AddLast(elements[at]);
    if (member.kind == KindVariant) t->Item(1, elements[at]);
  }
  return t;
}

// Runs the member on a container whose caller's object meddles as asked.
void Check(const MemberCase& member, Meddling meddling) {
  SCOPED_TRACE(std::string(member.name) + ", meddling " + std::to_string(static_cast<int>(meddling)));
  const auto object = std::make_shared<Meddler>(member.meddler_reads);
  const Variant meddler(object);
  TavrixPtr t = Build(member, meddler);
  const TavrixPtr twin = Build(member, meddler);
  Meddle(meddling, *twin);
  const std::weak_ptr<Tavrix> watch = t;
  Tavrix& target = *t;
  if (meddling == Meddling::kRelease) {
    object->act = [held = std::move(t)]() mutable { held.reset(); };
  } else {
    object->act = [&target, meddling] { Meddle(meddling, target); };
  }
  std::optional<Variant> result;
  const int error = ErrorNumberOf([&] { result = member.call(target, meddler); });
  // A change stops the member (Exists answers False); a release lets it finish.
  const bool changed = meddling != Meddling::kNothing && meddling != Meddling::kRelease;
  EXPECT_EQ(error, changed && !member.answers_false ? err::kArrayLocked : 0);
  const Variant expected = !changed               ? member.result
                           : member.answers_false ? Variant(false)
                                                  : Variant::Missing();
  EXPECT_IDENTICAL(result.value_or(Variant::Missing()), expected);
  if (meddling == Meddling::kRelease) {
    EXPECT_TRUE(watch.expired());
    return;
  }
  if (changed || !member.text_after.empty()) {  // after a change, nothing more changed
    EXPECT_EQ(TextOf(target), changed ? TextOf(*twin) : member.text_after);
  }
  EXPECT_EQ(target.FindInconsistency(), "");
}

TEST(Reentrancy, AMemberStopsWithErrorTenWhenACallersObjectChangesItsContainerElseFinishes) {
  const char* const array = R"(\11000\[\2\1, \8\two, \2\3])";
  const char* const map = R"(\11000\{a: \2\1, b: \8\two, c: \2\3})";
  const MemberCase cases[] = {
      {"Find of a value", KindUnboundedArray, OneTwoThree, "two", FindIt, 2, array},
      {"Find of a key", KindMap, OneTwoThree, "b", FindIt, 2, map},
      {"Find from a Start", KindUnboundedArray, OneTwoThree, 2,
       [](Tavrix& t, const Variant& m) { return Variant(t.Find(3, m)); }, 3, array},
      {"Find among elements", KindUnboundedArray,
       [](const Variant& m) {
         return std::vector<Variant>{1, m, 3};
       },
       3, [](Tavrix& t, const Variant&) { return Variant(t.Find(3)); }, 2, ""},
      {"Exists of a value", KindUnboundedArray, OneTwoThree, "two",
       [](Tavrix& t, const Variant& m) { return Variant(t.Exists(m)); }, true, array, true},
      {"Exists of a key", KindMap, OneTwoThree, "b",
       [](Tavrix& t, const Variant& m) { return Variant(t.Exists(m)); }, true, map, true},
      {"Item read", KindUnboundedArray, OneTwoThree, 2, [](Tavrix& t, const Variant& m) { return t.Item(m); },
       "two", array},
      {"Item store on an Array", KindUnboundedArray, OneTwoThree, 2, StoreNew, Variant(),
       R"(\11000\[\2\1, \8\new, \2\3])"},
      {"Item store on a Map", KindMap, OneTwoThree, "b", StoreNew, Variant(),
       R"(\11000\{a: \2\1, b: \8\new, c: \2\3})"},
      {"Item store on a Variant", KindVariant, OneTwoThree, 1, StoreNew, Variant(), R"(\11000\\8\new)"},
      {"AddLast of a key", KindMap, OneTwoThree, "d",
       [](Tavrix& t, const Variant& m) { return t.AddLast(m); }, Variant(),
       R"(\11000\{a: \2\1, b: \8\two, c: \2\3, d: \1\})"},
      {"Insert", KindUnboundedArray, OneTwoThree, 2,
       [](Tavrix& t, const Variant& m) {
         t.Insert(m, "new");
         return Variant();
       },
       Variant(), R"(\11000\[\2\1, \8\new, \8\two, \2\3])"},
      {"Remove from an Array", KindUnboundedArray, OneTwoThree, 2,
       [](Tavrix& t, const Variant& m) { return t.Remove(m); }, Variant(), R"(\11000\[\2\1, \2\3])"},
      {"Remove from a Map", KindMap, OneTwoThree, "b",
       [](Tavrix& t, const Variant& m) { return t.Remove(m); }, Variant(), R"(\11000\{a: \2\1, c: \2\3})"},
      {"Length of an object", KindVariant, [](const Variant& m) { return std::vector<Variant>{m}; }, "four",
       [](Tavrix& t, const Variant&) { return Variant(t.Length()); }, 4, ""},
      {"a predicate", KindMap, OneTwoThree, "b",
       [](Tavrix& t, const Variant& m) { return Variant(t.IsString(m)); }, true, map},
      {"SetArray", KindMap, OneTwoThree, 5,
       [](Tavrix& t, const Variant& m) {
         t.SetArray(m);
         return Variant();  // the container may be gone now
       },
       Variant(), R"(\11000\[])"},
  };
  for (const MemberCase& member : cases) {
    for (const Meddling meddling : {Meddling::kNothing, Meddling::kClear, Meddling::kSetNil,
                                    Meddling::kSetMap, Meddling::kStore, Meddling::kRelease}) {
      Check(member, meddling);
    }
  }
}

// The walks read the text of a Map key that is an object: its code may empty or release the
// very containers the walk is inside.
TEST(Reentrancy, AWalkStopsWithTenWhenAKeysObjectChangesTheTree) {
  const std::vector<std::function<std::string(const Tavrix&)>> walks = {
      [](const Tavrix& t) { return t.GetObjectString(); },
      [](const Tavrix& t) { return t.DebugPrint(); },
      [](const Tavrix& t) { return t.FindUnreadableValue(); },
  };
  for (std::size_t walk = 0; walk < walks.size(); ++walk) {
    for (const bool release_the_map : {false, true}) {
      SCOPED_TRACE("walk " + std::to_string(walk) +
                   (release_the_map ? ", the Map released" : ", the Map emptied"));
      const auto key = std::make_shared<Meddler>("key");
      TavrixPtr map = Make(KindMap, {Variant(key)});
      map->Item("after", 2);
      const TavrixPtr root = ArrayOf({map, 3});
      const std::weak_ptr<Tavrix> watch = map;
      if (release_the_map) {
        key->act = [&root] { root->RemoveAll(); };
        map.reset();
      } else {
        key->act = [&map] { map->RemoveAll(); };
      }
      EXPECT_EQ(ErrorNumberOf([&] { walks[walk](*root); }), err::kArrayLocked);
      EXPECT_EQ(watch.expired(), release_the_map);  // let go once the walk ended
      EXPECT_EQ(root->FindInconsistency(), "");
    }
  }
}

}  // namespace
}  // namespace quenlo
