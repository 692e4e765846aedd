#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::ExpectError;

// The members in dispatch-id order: Item, the default member, then the interface order from Tag.
constexpr std::array<std::string_view, 41> kMembers = {
    "Item",       "Tag",      "Clone",    "Become",   "SetMap",          "SetVariant",
    "SetArray",   "SetSet",   "SetStack", "SetQueue", "GetObjectString", "SetObjectString",
    "DebugPrint", "Length",   "Exists",   "GetKeys",  "SetNil",          "IsNumeric",
    "IsArray",    "IsObject", "IsDate",   "IsLong",   "IsBoolean",       "IsCurrency",
    "IsInteger",  "IsString", "IsDouble", "IsSingle", "IsNull",          "IsEmpty",
    "Version",    "AddLast",  "AddFirst", "Remove",   "RemoveAll",       "Insert",
    "Find",       "Push",     "Pop",      "Export",   "Import"};

// One container created by its programmatic identifier, in any case, and called by name.
class LateBinding : public ::testing::Test {
 protected:
  Variant Call(std::string_view name, VbCallType type, std::initializer_list<Variant> args = {}) {
    return CallByName(object_, name, type, args);
  }
  std::string Text() { return CStr(Call("GetObjectString", vbGet)); }

  std::shared_ptr<Object> object_ = CreateObject("quenlo.TAVRIX");
  Tavrix& container_ = dynamic_cast<Tavrix&>(*object_);
};

TEST(GetIdOfNameTest, NumbersTheMembersInInterfaceOrderWithoutRegardToCase) {
  for (std::size_t id = 0; id < kMembers.size(); ++id) {
    EXPECT_EQ(GetIdOfName(kMembers[id]), static_cast<DispId>(id)) << kMembers[id];
  }
  EXPECT_EQ(GetIdOfName("item"), kDispIdValue);
  ExpectError(err::kNotSupported, [] { GetIdOfName("Items"); });
}

TEST_F(LateBinding, ItemReadsLetsAndSetsAndTagReadsAndLets) {
  Call("Item", vbLet, {"text"});  // index omitted: position 1
  EXPECT_IDENTICAL(Call("Item", vbGet), Variant("text"));
  EXPECT_IDENTICAL(Call("Item", vbMethod, {Variant::Missing()}), Variant("text"));

  Call("SetMap", vbMethod);
  const TavrixPtr inner = testing::Make(KindVariant, {Variant::Long(7)});
  Call("Item", vbLet, {"copy", inner});  // let stores the default value
  Call("Item", vbSet, {"ref", inner});   // set stores the reference
  EXPECT_IDENTICAL(Call("Item", vbGet, {"copy"}), Variant::Long(7));
  EXPECT_EQ(Invoke(object_, kDispIdValue, vbGet, {"ref"}).ObjectAs<Tavrix>(), inner);

  Call("Tag", vbLet, {Variant::Long(12)});
  EXPECT_IDENTICAL(Call("Tag", vbGet), Variant("12"));
}

TEST_F(LateBinding, KindSettersCloneAndBecome) {
  const std::tuple<std::string_view, std::vector<Variant>, TavrixKind> setters[] = {
      {"SetMap", {}, KindMap},
      {"SetArray", {Variant::Missing()}, KindUnboundedArray},
      {"SetStack", {}, KindStack},
      {"SetQueue", {}, KindQueue},
      {"SetNil", {}, KindNil},
      {"SetVariant", {}, KindVariant},
      {"SetArray", {2}, KindBoundedArray},
      {"SetSet", {1, "b"}, KindSet}};
  for (const auto& [setter, args, kind] : setters) {
    CallByName(object_, setter, vbMethod, args);
    EXPECT_EQ(container_.Kind(), kind) << setter;
  }
  EXPECT_EQ(Text(), "\\11000\\(\\2\\1, \\8\\b)");

  const auto clone = Call("Clone", vbGet).ObjectAs<Tavrix>();
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetObjectString(), Text());

  EXPECT_TRUE(Call("Become", vbMethod, {testing::Make(KindBoundedArray, {}, 5)}).IsEmpty());
  EXPECT_EQ(container_.Bound(), 5);
  ExpectError(err::kTypeMismatch, [&] { Call("Become", vbMethod, {5}); });
  ExpectError(err::kObjectNotSet, [&] { Call("Become", vbMethod, {Variant::Nothing()}); });
}

TEST_F(LateBinding, ElementAccessAndSequenceMembers) {
  Call("SetMap", vbMethod);
  EXPECT_TRUE(Call("AddLast", vbMethod, {"b"}).IsEmpty());
  EXPECT_TRUE(Call("AddFirst", vbMethod, {"a"}).IsEmpty());
  EXPECT_IDENTICAL(Call("Length", vbGet), Variant::Long(2));
  EXPECT_IDENTICAL(Call("Exists", vbMethod, {"b"}), Variant(true));
  EXPECT_IDENTICAL(Call("Find", vbMethod, {"b"}), Variant::Long(2));
  EXPECT_EQ(Call("GetKeys", vbGet).ObjectAs<Tavrix>()->GetObjectString(), "\\11000\\[\\8\\a, \\8\\b]");
  EXPECT_TRUE(Call("Remove", vbMethod).IsEmpty());  // index omitted: the first
  EXPECT_EQ(Text(), "\\11000\\{b: \\1\\}");

  Call("SetObjectString", vbMethod, {"\\11000\\[\\8\\x, \\8\\y]"});
  Call("Insert", vbMethod, {1, "w"});
  EXPECT_IDENTICAL(Call("Find", vbMethod, {"x", 3}), Variant::Long(-1));
  Call("Remove", vbMethod, {2});
  EXPECT_EQ(Text(), "\\11000\\[\\8\\w, \\8\\y]");
  Call("RemoveAll", vbMethod);
  EXPECT_EQ(Text(), "\\11000\\[]");

  Call("SetStack", vbMethod);
  Call("Push", vbMethod, {2});
  EXPECT_IDENTICAL(Call("Pop", vbMethod), Variant(2));
}

TEST_F(LateBinding, TypePredicates) {
  Call("SetMap", vbMethod);
  Call("Item", vbLet, {"1", Variant::Long(3)});
  EXPECT_IDENTICAL(Call("IsNumeric", vbGet, {Variant::Missing()}), Variant(true));  // the key "1"

  // From IsArray to IsEmpty, each predicate is true for its own sample only.
  const std::span predicates(kMembers.begin() + GetIdOfName("IsArray"), 12);
  const auto samples =
      std::to_array<Variant>({Variant::Array({1}), Variant(Tavrix::Create()), Date{1.0}, Variant::Long(3),
                              true, Currency{10000}, 2, "s", 1.5, 1.5f, Variant::Null(), Variant()});
  for (std::size_t sample = 0; sample < samples.size(); ++sample) {
    Call("Item", samples[sample].IsObject() ? vbSet : vbLet, {"v", samples[sample]});
    for (std::size_t i = 0; i < predicates.size(); ++i) {
      EXPECT_IDENTICAL(Call(predicates[i], vbGet, {"v"}), Variant(i == sample))
          << predicates[i] << ", " << sample;
    }
  }
}

TEST_F(LateBinding, ObjectStringsDumpFilesAndVersion) {
  Call("SetObjectString", vbMethod, {"\\11000\\{a: \\2\\1}"});
  EXPECT_IDENTICAL(Call("DebugPrint", vbMethod), Variant("{\r\na: 1\r\n}"));
  EXPECT_IDENTICAL(Call("Version", vbGet), Variant(Tavrix::Version()));

  const auto file = std::filesystem::temp_directory_path() / ("quenlo_dispatch_" + std::to_string(getpid()));
  Call("Export", vbMethod, {file.string()});
  Call("SetNil", vbMethod);
  Call("Import", vbMethod, {file.string()});
  std::filesystem::remove(file);
  EXPECT_EQ(Text(), "\\11000\\{a: \\2\\1}");
}

TEST_F(LateBinding, ReportsTheClassicAutomationErrors) {
  // A method, or a property without a set, stored into.
  ExpectError(err::kNotSupported, [&] { Call("SetMap", vbLet, {1}); });
  ExpectError(err::kNotSupported, [&] { Call("Tag", vbSet, {Tavrix::Create()}); });
  // Missing required arguments (the index of a set, the new value of a let), and too many.
  ExpectError(err::kArgumentNotOptional, [&] { Call("Exists", vbMethod); });
  ExpectError(err::kArgumentNotOptional, [&] { Call("Exists", vbMethod, {Variant::Missing()}); });
  ExpectError(err::kArgumentNotOptional, [&] { Call("Item", vbSet, {Tavrix::Create()}); });
  ExpectError(err::kArgumentNotOptional, [&] { Call("Item", vbLet); });
  ExpectError(err::kWrongArgumentCount, [&] { Call("Version", vbGet, {1}); });
  ExpectError(err::kWrongArgumentCount, [&] { Call("Tag", vbLet, {1, "x"}); });
  // A set needs an object; the container's own errors pass unchanged.
  ExpectError(err::kObjectRequired, [&] { Call("Item", vbSet, {1, 5}); });
  ExpectError(ErrInvalidOperation, [&] { Call("Pop", vbMethod); });
  ExpectError(err::kCannotCreateObject, [] { CreateObject("Quenlo.Other"); });
  ExpectError(err::kNotSupported, [&] { Invoke(object_, 41, vbMethod); });
  // Targets that cannot be called.
  ExpectError(err::kObjectNotSet, [] { CallByName(nullptr, "Version", vbGet); });
  class Plain : public Object {};
  ExpectError(err::kNotSupported, [] { CallByName(std::make_shared<Plain>(), "Version", vbGet); });
}

}  // namespace
}  // namespace quenlo
