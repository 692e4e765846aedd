// Feeds arbitrary bytes to SetObjectString. A failed read must leave the target as it was. A
// successful read must give a consistent tree that the writer writes without an error, and
// when the tree lies within the round-trip rules its text must read back into a tree that
// writes exactly the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace {

using quenlo::Tavrix;
using quenlo::TavrixPtr;
using quenlo::Variant;
using quenlo::fuzz::Fail;
using quenlo::fuzz::RequireConsistent;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quenlo::fuzz::RegisterSharedObject();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TavrixPtr target = Tavrix::Create();
  target->SetMap();
  target->Item("k", 1);
  target->Tag("kept");
  try {
    target->SetObjectString(text);
  } catch (const quenlo::Error&) {
    if (target->Kind() != quenlo::KindMap || target->Tag() != "kept" ||
        target->GetObjectString() != "\\11000\\{k: \\2\\1}") {
      Fail("a failed read changed the target");
    }
    RequireConsistent(*target, "a failed read");
    return 0;
  }
  if (target->Tag() != "kept") Fail("a read changed the tag");
  RequireConsistent(*target, "a read");

  // The reader and the writer share the nesting limit, and every value read has a text.
  std::string first;
  try {
    first = target->GetObjectString();
  } catch (const quenlo::Error& error) {
    Fail("a tree read could not be written: error " + std::to_string(error.Number()));
  }
  RequireConsistent(*target, "a write");
  if (!WithinRules(*target, true)) return 0;
  const TavrixPtr again = Tavrix::Create();
  try {
    again->SetObjectString(first);
  } catch (const quenlo::Error&) {
    Fail("a text within the round-trip rules did not read back");
  }
  RequireConsistent(*again, "reading a written text");
  if (again->GetObjectString() != first) Fail("a text within the round-trip rules read back differently");
  return 0;
}
