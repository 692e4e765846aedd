// Feeds arbitrary bytes to SetObjectString. A failed read must leave the target as it was, and
// must fail as the token-list reader alone fails; a successful read must give what that reader
// gives, compared through the written text. When the tree read lies within the round-trip rules
// its text must read back into a tree that writes exactly the same text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/object_string_reader.hpp"

namespace {

using quenlo::Tavrix;
using quenlo::TavrixPtr;
using quenlo::Variant;

[[noreturn]] void Fail(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  __builtin_trap();
}

// A live object with an identity, so that "\9\" elements can resolve to something.
void RegisterSharedObject() {
  static const auto object = std::make_shared<quenlo::Object>();
  static const std::int32_t identity = quenlo::IdentityRegistry::IdentityOf(object);
  (void)identity;
}

bool HoldsDelimiter(std::string_view text) {
  return text.find_first_of("[]{}()<>,:`") != std::string_view::npos ||
         text.find("\xC2\xB4") != std::string_view::npos;
}

// Whether a value written inside a Map or a sequence reads back as the same text.
bool ElementSurvives(const Variant& value) {
  if (const auto child = value.ObjectAs<Tavrix>()) return true;  // checked by the caller
  if (value.IsObject()) return true;                             // "\9\" and its identity
  switch (quenlo::VarType(value)) {
    case quenlo::vbInteger:
    case quenlo::vbLong:
    case quenlo::vbSingle:
    case quenlo::vbDouble:
    case quenlo::vbCurrency:
    case quenlo::vbDate:
    case quenlo::vbString:
    case quenlo::vbBoolean:
    case quenlo::vbDecimal:
    case quenlo::vbByte:
      break;
    default:
      return false;  // comes back as a String
  }
  const std::string text = quenlo::ConcatText(value);
  return !HoldsDelimiter(text) && (text.empty() || text.back() != ' ');
}

bool KeySurvives(const Variant& key) {
  const std::string text = quenlo::ConcatText(key);
  return !text.empty() && !HoldsDelimiter(text) && text.front() != ' ' && text.back() != ' ';
}

bool WithinRules(const Tavrix& container, bool top);

bool ValueWithinRules(const Variant& value) {
  if (const auto child = value.ObjectAs<Tavrix>()) {
    const auto kind = child->Kind();
    return kind != quenlo::KindVariant && kind != quenlo::KindNil && kind != quenlo::KindBoundedArray &&
           WithinRules(*child, false);
  }
  return ElementSurvives(value);
}

// Whether a tree read from text promises to write a text that reads back to the same text.
bool WithinRules(const Tavrix& container, bool top) {
  switch (container.Kind()) {
    case quenlo::KindNil:
      return true;
    case quenlo::KindVariant:  // taken whole at the top level; never nested here
      return top && !container.Item(1).ObjectAs<Tavrix>();
    case quenlo::KindMap: {
      const TavrixPtr keys = container.GetKeys();
      for (std::int32_t position = 1; position <= container.Length(); ++position) {
        if (!KeySurvives(keys->Item(position)) || !ValueWithinRules(container.Item(position))) return false;
      }
      return true;
    }
    case quenlo::KindStack:
    case quenlo::KindQueue: {
      const TavrixPtr copy = container.Clone();
      while (copy->Length() > 0) {
        if (!ValueWithinRules(copy->Pop())) return false;
      }
      return true;
    }
    default:
      for (std::int32_t position = 1; position <= container.Length(); ++position) {
        if (!ValueWithinRules(container.Item(position))) return false;
      }
      return true;
  }
}

// What a read gives, to compare two ways of reading: the error number of a failed read, else
// the text written back from the tree (or the writer's error number).
struct Outcome {
  std::int32_t read_error = 0;
  std::int32_t write_error = 0;
  std::string text;
  bool operator==(const Outcome&) const = default;
};

Outcome WrittenBack(const Tavrix& container) {
  Outcome outcome;
  try {
    outcome.text = container.GetObjectString();
  } catch (const quenlo::Error& error) {
    outcome.write_error = error.Number();
  }
  return outcome;
}

Outcome ReadFaithfully(std::string_view text) {
  const TavrixPtr container = Tavrix::Create();
  try {
    quenlo::SetObjectStringFaithfully(*container, text);
  } catch (const quenlo::Error& error) {
    return Outcome{error.Number(), 0, {}};
  }
  return WrittenBack(*container);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RegisterSharedObject();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TavrixPtr target = Tavrix::Create();
  target->SetMap();
  target->Item("k", 1);
  target->Tag("kept");
  const Outcome faithful = ReadFaithfully(text);
  try {
    target->SetObjectString(text);
  } catch (const quenlo::Error& error) {
    if (target->Kind() != quenlo::KindMap || target->Tag() != "kept" ||
        target->GetObjectString() != "\\11000\\{k: \\2\\1}") {
      Fail("a failed read changed the target");
    }
    if (faithful.read_error != error.Number()) Fail("the two readers fail differently");
    return 0;
  }
  if (target->Tag() != "kept") Fail("a read changed the tag");
  const Outcome read = WrittenBack(*target);
  if (!(read == faithful)) Fail("the two readers read differently");
  if (read.write_error != 0) return 0;  // an empty Variant-kind container, say, has no text
  const std::string& first = read.text;
  if (!WithinRules(*target, true)) return 0;
  const TavrixPtr again = Tavrix::Create();
  try {
    again->SetObjectString(first);
  } catch (const quenlo::Error&) {
    Fail("a text within the round-trip rules did not read back");
  }
  if (again->GetObjectString() != first) Fail("a text within the round-trip rules read back differently");
  return 0;
}
