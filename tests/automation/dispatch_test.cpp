#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "quenlo/automation.hpp"
#include "quenlo/quenlo.hpp"

namespace quenlo {
namespace {

// The interface order: Item is the default member (0), the others count up from Tag.
const std::vector<std::string> kInterfaceOrder = {
    "Tag",        "Clone",    "Become",   "SetMap",   "SetVariant",      "SetArray",
    "SetSet",     "SetStack", "SetQueue", "Item",     "GetObjectString", "SetObjectString",
    "DebugPrint", "Length",   "Exists",   "GetKeys",  "SetNil",          "IsNumeric",
    "IsArray",    "IsObject", "IsDate",   "IsLong",   "IsBoolean",       "IsCurrency",
    "IsInteger",  "IsString", "IsDouble", "IsSingle", "IsNull",          "IsEmpty",
    "Version",    "AddLast",  "AddFirst", "Remove",   "RemoveAll",       "Insert",
    "Find",       "Push",     "Pop",      "Export",   "Import"};

DispId ExpectedId(const std::string& name) {
  if (name == "Item") return 0;
  DispId id = 0;
  for (const std::string& member : kInterfaceOrder) {
    if (member == "Item") continue;
    ++id;
    if (member == name) return id;
  }
  ADD_FAILURE() << "no member " << name;
  return -1;
}

std::int32_t ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

// Two twin containers: every call runs by name on the first and by dispatch id on the second,
// and both must answer alike.
class TwinCalls : public ::testing::Test {
 protected:
  Variant Call(const std::string& name, VbCallType type, std::initializer_list<Variant> args = {}) {
    const Variant by_name = CallByName(by_name_, name, type, args);
    const Variant by_id = Invoke(by_id_, ExpectedId(name), type, args);
    if (by_name.IsObject() && !by_name.IsNothing()) {
      EXPECT_TRUE(by_id.IsObject());
      EXPECT_EQ(by_name.ObjectAs<Tavrix>()->GetObjectString(), by_id.ObjectAs<Tavrix>()->GetObjectString());
    } else {
      EXPECT_EQ(by_name, by_id) << name;
    }
    return by_name;
  }
  // The object string of the twins, which must agree.
  std::string Text() const {
    const std::string text = std::dynamic_pointer_cast<Tavrix>(by_name_)->GetObjectString();
    EXPECT_EQ(std::dynamic_pointer_cast<Tavrix>(by_id_)->GetObjectString(), text);
    return text;
  }

  std::shared_ptr<Object> by_name_ = CreateObject("Quenlo.Tavrix");
  std::shared_ptr<Object> by_id_ = CreateObject("Quenlo.Tavrix");
};

TEST(CreateObjectTest, CreatesAContainerByItsProgId) {
  auto object = CreateObject("quenlo.TAVRIX");
  ASSERT_NE(std::dynamic_pointer_cast<Tavrix>(object), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<Tavrix>(object)->Kind(), KindVariant);

  try {
    CreateObject("Quenlo.Other");
    ADD_FAILURE() << "an unknown prog id was accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 429);
    EXPECT_EQ(error.Source(), "Quenlo");
    EXPECT_EQ(error.Description(), "ActiveX component can't create object");
  }
}

TEST(GetIdOfNameTest, NumbersTheMembersInInterfaceOrderWithoutRegardToCase) {
  for (const std::string& name : kInterfaceOrder) EXPECT_EQ(GetIdOfName(name), ExpectedId(name)) << name;
  EXPECT_EQ(GetIdOfName("item"), kDispIdValue);
  EXPECT_EQ(GetIdOfName("DEBUGPRINT"), GetIdOfName("DebugPrint"));
  EXPECT_EQ(ErrorOf([] { GetIdOfName("Items"); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([] { GetIdOfName(""); }), err::kNotSupported);
}

TEST_F(TwinCalls, ItemReadsLetsAndSets) {
  Call("Item", vbLet, {"text"});  // index omitted: position 1
  EXPECT_EQ(Call("Item", vbGet), Variant("text"));
  EXPECT_EQ(Call("Item", vbMethod, {Variant::Missing()}), Variant("text"));

  Call("SetMap", vbMethod);
  Call("Item", vbLet, {"a", 5});
  EXPECT_EQ(Call("Item", vbGet, {"a"}), Variant(5));

  auto inner = Tavrix::Create();
  inner->Item(1, Variant::Long(7));
  Call("Item", vbLet, {"copy", inner});  // let stores the default value
  Call("Item", vbSet, {"ref", inner});   // set stores the reference
  EXPECT_EQ(Call("Item", vbGet, {"copy"}), Variant::Long(7));
  EXPECT_EQ(Call("Item", vbGet, {"ref"}).ObjectAs<Tavrix>(), inner);
  EXPECT_EQ(Invoke(by_name_, kDispIdValue, vbGet, {"ref"}).ObjectAs<Tavrix>(), inner);
}

TEST_F(TwinCalls, TagReadsAndLets) {
  Call("Tag", vbLet, {"label"});
  EXPECT_EQ(Call("Tag", vbGet), Variant("label"));
  Call("Tag", vbLet, {Variant::Long(12)});
  EXPECT_EQ(Call("Tag", vbMethod), Variant("12"));
}

TEST_F(TwinCalls, KindSettersCloneAndBecome) {
  Call("SetArray", vbMethod, {Variant::Missing()});
  Call("AddLast", vbMethod, {1});
  EXPECT_EQ(Text(), "\\11000\\[\\2\\1]");
  Call("SetArray", vbMethod, {2});
  EXPECT_EQ(Text(), "\\11000\\[]");
  EXPECT_EQ(std::dynamic_pointer_cast<Tavrix>(by_name_)->Bound(), 2);
  Call("SetSet", vbMethod, {1, "b", 2.5});
  EXPECT_EQ(Text(), "\\11000\\(\\2\\1, \\8\\b, \\5\\2.5)");
  Call("SetSet", vbMethod);
  EXPECT_EQ(Text(), "\\11000\\()");
  Call("SetStack", vbMethod);
  EXPECT_EQ(Text(), "\\11000\\<>");
  Call("SetQueue", vbMethod);
  EXPECT_EQ(Text(), "\\11000\\`\u00B4");
  Call("SetNil", vbMethod);
  EXPECT_EQ(Text(), "\\11000\\nil");
  Call("SetVariant", vbMethod);
  Call("SetMap", vbMethod);
  Call("Item", vbLet, {"k", 1});

  const Variant clone = Call("Clone", vbGet);
  ASSERT_NE(clone.ObjectAs<Tavrix>(), nullptr);
  EXPECT_NE(clone.AsObject(), by_name_);
  EXPECT_EQ(clone.ObjectAs<Tavrix>()->GetObjectString(), "\\11000\\{k: \\2\\1}");

  auto source = Tavrix::Create();
  source->SetStack();
  EXPECT_TRUE(Call("Become", vbMethod, {source}).IsEmpty());
  EXPECT_EQ(Text(), "\\11000\\<>");
  EXPECT_EQ(ErrorOf([&] { CallByName(by_name_, "Become", vbMethod, {5}); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { CallByName(by_name_, "Become", vbMethod, {Variant::Nothing()}); }),
            err::kObjectNotSet);
}

TEST_F(TwinCalls, ElementAccessAndSequenceMembers) {
  Call("SetMap", vbMethod);
  EXPECT_TRUE(Call("AddLast", vbMethod, {"b"}).IsEmpty());
  EXPECT_TRUE(Call("AddFirst", vbMethod, {"a"}).IsEmpty());
  EXPECT_EQ(Call("Length", vbGet), Variant::Long(2));
  EXPECT_EQ(Call("Exists", vbMethod, {"b"}), Variant(true));
  EXPECT_EQ(Call("Find", vbMethod, {"b"}), Variant::Long(2));
  EXPECT_EQ(Call("GetKeys", vbGet).ObjectAs<Tavrix>()->GetObjectString(), "\\11000\\[\\8\\a, \\8\\b]");
  EXPECT_TRUE(Call("Remove", vbMethod).IsEmpty());  // index omitted: the first
  EXPECT_EQ(Text(), "\\11000\\{b: \\1\\}");

  Call("SetArray", vbMethod);
  Call("AddLast", vbMethod, {"x"});
  Call("AddLast", vbMethod, {"y"});
  Call("Insert", vbMethod, {1, "w"});
  EXPECT_EQ(Call("Find", vbMethod, {"x", 3}), Variant::Long(-1));
  Call("Remove", vbMethod, {2});
  EXPECT_EQ(Text(), "\\11000\\[\\8\\w, \\8\\y]");
  Call("RemoveAll", vbMethod);
  EXPECT_EQ(Call("Length", vbMethod), Variant::Long(0));

  Call("SetStack", vbMethod);
  Call("Push", vbMethod, {1});
  Call("Push", vbMethod, {2});
  EXPECT_EQ(Call("Pop", vbMethod), Variant(2));
}

TEST_F(TwinCalls, TypePredicates) {
  Call("SetMap", vbMethod);
  Call("Item", vbLet, {"1", Variant::Long(3)});
  EXPECT_EQ(Call("IsLong", vbGet), Variant(true));  // index omitted: the key "1"
  EXPECT_EQ(Call("IsNumeric", vbGet, {1}), Variant(true));
  EXPECT_EQ(Call("IsInteger", vbGet, {Variant::Missing()}), Variant(false));
  const std::vector<std::pair<std::string, Variant>> samples = {{"IsArray", Variant::Array({1})},
                                                                {"IsObject", Variant(Tavrix::Create())},
                                                                {"IsDate", Date{1.0}},
                                                                {"IsBoolean", true},
                                                                {"IsCurrency", Currency{10000}},
                                                                {"IsInteger", 2},
                                                                {"IsString", "s"},
                                                                {"IsDouble", 1.5},
                                                                {"IsSingle", 1.5f},
                                                                {"IsNull", Variant::Null()},
                                                                {"IsEmpty", Variant()}};
  for (const auto& [predicate, value] : samples) {
    Call("Item", value.IsObject() ? vbSet : vbLet, {"v", value});
    EXPECT_EQ(Call(predicate, vbGet, {"v"}), Variant(true)) << predicate;
    EXPECT_EQ(Call(predicate, vbGet, {"1"}), Variant(predicate == "IsLong")) << predicate;
  }
}

TEST_F(TwinCalls, ObjectStringsDumpFilesAndVersion) {
  Call("SetObjectString", vbMethod, {"\\11000\\{a: \\2\\1}"});
  EXPECT_EQ(Call("GetObjectString", vbGet), Variant("\\11000\\{a: \\2\\1}"));
  EXPECT_EQ(Call("DebugPrint", vbMethod), Variant("{\r\na: 1\r\n}"));
  EXPECT_EQ(Call("Version", vbGet), Variant("1.0.16"));

  const std::string file =
      (std::filesystem::temp_directory_path() / ("quenlo_dispatch_" + std::to_string(getpid()) + ".qo"))
          .string();
  Call("Export", vbMethod, {file});
  Call("SetNil", vbMethod);
  Call("Import", vbMethod, {file});
  EXPECT_EQ(Text(), "\\11000\\{a: \\2\\1}");
  std::filesystem::remove(file);
}

TEST(DispatchErrorTest, ReportsTheClassicAutomationErrors) {
  auto target = CreateObject("Quenlo.Tavrix");
  const auto by_name = [&](std::string name, VbCallType type, std::initializer_list<Variant> args) {
    return ErrorOf([&] { CallByName(target, name, type, args); });
  };
  EXPECT_EQ(by_name("NoSuchMember", vbMethod, {}), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { Invoke(target, 41, vbMethod); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { Invoke(target, -1, vbGet); }), err::kNotSupported);
  // A method or a read-only property stored into.
  EXPECT_EQ(by_name("SetMap", vbLet, {1}), err::kNotSupported);
  EXPECT_EQ(by_name("GetKeys", vbSet, {Tavrix::Create()}), err::kNotSupported);
  EXPECT_EQ(by_name("Tag", vbSet, {Tavrix::Create()}), err::kNotSupported);
  // Missing required arguments, and too many.
  EXPECT_EQ(by_name("Exists", vbMethod, {}), err::kArgumentNotOptional);
  EXPECT_EQ(by_name("Exists", vbMethod, {Variant::Missing()}), err::kArgumentNotOptional);
  EXPECT_EQ(by_name("Insert", vbMethod, {1}), err::kArgumentNotOptional);
  EXPECT_EQ(by_name("Item", vbSet, {Tavrix::Create()}), err::kArgumentNotOptional);  // index required
  EXPECT_EQ(by_name("Item", vbLet, {}), err::kArgumentNotOptional);
  EXPECT_EQ(by_name("Version", vbGet, {1}), err::kWrongArgumentCount);
  EXPECT_EQ(by_name("Item", vbGet, {1, 2}), err::kWrongArgumentCount);
  EXPECT_EQ(by_name("Tag", vbLet, {1, "x"}), err::kWrongArgumentCount);
  // A set needs an object; the container's own errors pass unchanged.
  EXPECT_EQ(by_name("Item", vbSet, {1, 5}), err::kObjectRequired);
  EXPECT_EQ(by_name("Pop", vbMethod, {}), ErrInvalidOperation);
  // Targets that cannot be called.
  EXPECT_EQ(ErrorOf([] { CallByName(nullptr, "Version", vbGet); }), err::kObjectNotSet);
  class Plain : public Object {};
  EXPECT_EQ(ErrorOf([] { CallByName(std::make_shared<Plain>(), "Version", vbGet); }), err::kNotSupported);
}

}  // namespace
}  // namespace quenlo
