// Late binding over the members of _Tavrix: a table in dispatch-id order, each entry telling how
// a member is read (called) and, for the properties, how it is stored.
#include <array>
#include <cstddef>
#include <cstdint>

#include "quenlo/automation.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/characters.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

// The arguments of one call, the new value of a property put excluded.
class Arguments {
 public:
  explicit Arguments(std::span<const Variant> list) noexcept : list_(list) {}

  std::size_t Count() const noexcept { return list_.size(); }
  std::span<const Variant> All() const noexcept { return list_; }

  const Variant& Required(std::size_t position) const {
    if (IsOmitted(position)) RaiseRuntimeError(err::kArgumentNotOptional);
    return list_[position];
  }

  Variant Optional(std::size_t position, Variant fallback) const {
    return IsOmitted(position) ? std::move(fallback) : list_[position];
  }

  std::string RequiredString(std::size_t position) const { return CStr(Required(position)); }

  // A parameter declared as a Tavrix: nothing passes as a null pointer, anything else that is
  // no container is a type mismatch.
  TavrixPtr RequiredContainer(std::size_t position) const {
    const Variant& argument = Required(position);
    if (!argument.IsObject()) RaiseRuntimeError(err::kTypeMismatch);
    if (argument.IsNothing()) return nullptr;
    TavrixPtr container = argument.ObjectAs<Tavrix>();
    if (container == nullptr) RaiseRuntimeError(err::kTypeMismatch);
    return container;
  }

 private:
  bool IsOmitted(std::size_t position) const noexcept {
    return position >= list_.size() || list_[position].IsMissing();
  }

  std::span<const Variant> list_;
};

using Reader = Variant (*)(Tavrix&, const Arguments&);
using Writer = void (*)(Tavrix&, const Arguments&, const Variant& value);

constexpr int kAnyCount = -1;

struct Member {
  std::string_view name;
  int max_arguments;  // for a read; a put takes the new value besides
  Reader read;
  Writer let = nullptr;  // nullptr: the member has no property let
  Writer set = nullptr;  // nullptr: the member has no property set
};

// A method with no result answers Empty.
template <class Body>
Variant Empty(Body&& body) {
  body();
  return Variant();
}

// The index a type predicate looks at, 1 when omitted.
Variant PredicateIndex(const Arguments& args) {
  return args.Optional(0, 1);
}

// Item comes first, as dispatch id 0; the others follow in the order of the interface, so that
// a member's position in this table is its dispatch id.
const std::array<Member, 41> kMembers{{
    {"Item", 1, [](Tavrix& t, const Arguments& a) { return t.Item(a.Optional(0, 1)); },
     [](Tavrix& t, const Arguments& a, const Variant& value) {
       t.Item(a.Optional(0, 1), DefaultValue(value));
     },
     [](Tavrix& t, const Arguments& a, const Variant& value) {
       const Variant& index = a.Required(0);
       if (!value.IsObject()) RaiseRuntimeError(err::kObjectRequired);
       t.Item(index, value);
     }},
    {"Tag", 0, [](Tavrix& t, const Arguments&) { return Variant(t.Tag()); },
     [](Tavrix& t, const Arguments&, const Variant& value) { t.Tag(CStr(value)); }},
    {"Clone", 0, [](Tavrix& t, const Arguments&) { return Variant(t.Clone()); }},
    {"Become", 1, [](Tavrix& t, const Arguments& a) { return t.Become(a.RequiredContainer(0)); }},
    {"SetMap", 0, [](Tavrix& t, const Arguments&) { return Empty([&] { t.SetMap(); }); }},
    {"SetVariant", 0, [](Tavrix& t, const Arguments&) { return Empty([&] { t.SetVariant(); }); }},
    {"SetArray", 1,
     [](Tavrix& t, const Arguments& a) { return Empty([&] { t.SetArray(a.Optional(0, -1)); }); }},
    {"SetSet", kAnyCount, [](Tavrix& t, const Arguments& a) { return Empty([&] { t.SetSet(a.All()); }); }},
    {"SetStack", 0, [](Tavrix& t, const Arguments&) { return Empty([&] { t.SetStack(); }); }},
    {"SetQueue", 0, [](Tavrix& t, const Arguments&) { return Empty([&] { t.SetQueue(); }); }},
    {"GetObjectString", 0, [](Tavrix& t, const Arguments&) { return Variant(t.GetObjectString()); }},
    {"SetObjectString", 1,
     [](Tavrix& t, const Arguments& a) { return Empty([&] { t.SetObjectString(a.RequiredString(0)); }); }},
    {"DebugPrint", 0, [](Tavrix& t, const Arguments&) { return Variant(t.DebugPrint()); }},
    {"Length", 0, [](Tavrix& t, const Arguments&) { return Variant::Long(t.Length()); }},
    {"Exists", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.Exists(a.Required(0))); }},
    {"GetKeys", 0, [](Tavrix& t, const Arguments&) { return Variant(t.GetKeys()); }},
    {"SetNil", 0, [](Tavrix& t, const Arguments&) { return Empty([&] { t.SetNil(); }); }},
    {"IsNumeric", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsNumeric(PredicateIndex(a))); }},
    {"IsArray", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsArray(PredicateIndex(a))); }},
    {"IsObject", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsObject(PredicateIndex(a))); }},
    {"IsDate", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsDate(PredicateIndex(a))); }},
    {"IsLong", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsLong(PredicateIndex(a))); }},
    {"IsBoolean", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsBoolean(PredicateIndex(a))); }},
    {"IsCurrency", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsCurrency(PredicateIndex(a))); }},
    {"IsInteger", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsInteger(PredicateIndex(a))); }},
    {"IsString", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsString(PredicateIndex(a))); }},
    {"IsDouble", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsDouble(PredicateIndex(a))); }},
    {"IsSingle", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsSingle(PredicateIndex(a))); }},
    {"IsNull", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsNull(PredicateIndex(a))); }},
    {"IsEmpty", 1, [](Tavrix& t, const Arguments& a) { return Variant(t.IsEmpty(PredicateIndex(a))); }},
    {"Version", 0, [](Tavrix&, const Arguments&) { return Variant(Tavrix::Version()); }},
    {"AddLast", 1, [](Tavrix& t, const Arguments& a) { return t.AddLast(a.Required(0)); }},
    {"AddFirst", 1, [](Tavrix& t, const Arguments& a) { return t.AddFirst(a.Required(0)); }},
    {"Remove", 1, [](Tavrix& t, const Arguments& a) { return t.Remove(a.Optional(0, 1)); }},
    {"RemoveAll", 0, [](Tavrix& t, const Arguments&) { return Empty([&] { t.RemoveAll(); }); }},
    {"Insert", 2,
     [](Tavrix& t, const Arguments& a) { return Empty([&] { t.Insert(a.Required(0), a.Required(1)); }); }},
    {"Find", 2,
     [](Tavrix& t, const Arguments& a) { return Variant::Long(t.Find(a.Required(0), a.Optional(1, 1))); }},
    {"Push", 1, [](Tavrix& t, const Arguments& a) { return Empty([&] { t.Push(a.Required(0)); }); }},
    {"Pop", 0, [](Tavrix& t, const Arguments&) { return t.Pop(); }},
    {"Export", 1,
     [](Tavrix& t, const Arguments& a) { return Empty([&] { t.Export(a.RequiredString(0)); }); }},
    {"Import", 1,
     [](Tavrix& t, const Arguments& a) { return Empty([&] { t.Import(a.RequiredString(0)); }); }},
}};

const Member& MemberOf(DispId id) {
  if (id < 0 || static_cast<std::size_t>(id) >= kMembers.size()) RaiseRuntimeError(err::kNotSupported);
  return kMembers[static_cast<std::size_t>(id)];
}

void CheckArgumentCount(const Member& member, const Arguments& args) {
  if (member.max_arguments != kAnyCount && args.Count() > static_cast<std::size_t>(member.max_arguments)) {
    RaiseRuntimeError(err::kWrongArgumentCount);
  }
}

Variant Read(const Member& member, Tavrix& target, std::span<const Variant> list) {
  const Arguments args(list);
  CheckArgumentCount(member, args);
  return member.read(target, args);
}

// A property put: the new value comes last, after the member's own arguments.
Variant Put(const Member& member, Writer writer, Tavrix& target, std::span<const Variant> list) {
  if (writer == nullptr) RaiseRuntimeError(err::kNotSupported);
  if (list.empty() || list.back().IsMissing()) RaiseRuntimeError(err::kArgumentNotOptional);
  const Arguments args(list.first(list.size() - 1));
  CheckArgumentCount(member, args);
  writer(target, args, list.back());
  return Variant();
}

Variant Dispatch(Tavrix& target, const Member& member, VbCallType call_type, std::span<const Variant> args) {
  switch (call_type) {
    case vbMethod:
    case vbGet:
      return Read(member, target, args);
    case vbLet:
      return Put(member, member.let, target, args);
    case vbSet:
      return Put(member, member.set, target, args);
  }
  RaiseRuntimeError(err::kInvalidProcedureCall);
}

Tavrix& ContainerOf(const std::shared_ptr<Object>& target) {
  if (target == nullptr) RaiseRuntimeError(err::kObjectNotSet);
  auto* container = dynamic_cast<Tavrix*>(target.get());
  if (container == nullptr) RaiseRuntimeError(err::kNotSupported);
  return *container;
}

}  // namespace

std::shared_ptr<Object> CreateObject(std::string_view ProgId) {
  if (!EqualsIgnoringCase(ProgId, "Quenlo.Tavrix")) RaiseRuntimeError(err::kCannotCreateObject);
  return Tavrix::Create();
}

DispId GetIdOfName(std::string_view name) {
  for (std::size_t id = 0; id < kMembers.size(); ++id) {
    if (EqualsIgnoringCase(kMembers[id].name, name)) return static_cast<DispId>(id);
  }
  RaiseRuntimeError(err::kNotSupported);
}

Variant Invoke(const std::shared_ptr<Object>& target, DispId id, VbCallType call_type,
               std::span<const Variant> args) {
  return TranslateErrors([&] { return Dispatch(ContainerOf(target), MemberOf(id), call_type, args); });
}

Variant Invoke(const std::shared_ptr<Object>& target, DispId id, VbCallType call_type,
               std::initializer_list<Variant> args) {
  return Invoke(target, id, call_type, std::span<const Variant>(args.begin(), args.size()));
}

Variant CallByName(const std::shared_ptr<Object>& target, std::string_view name, VbCallType call_type,
                   std::span<const Variant> args) {
  return TranslateErrors([&] {
    Tavrix& container = ContainerOf(target);
    return Dispatch(container, MemberOf(GetIdOfName(name)), call_type, args);
  });
}

Variant CallByName(const std::shared_ptr<Object>& target, std::string_view name, VbCallType call_type,
                   std::initializer_list<Variant> args) {
  return CallByName(target, name, call_type, std::span<const Variant>(args.begin(), args.size()));
}

}  // namespace quenlo
