// Feeds arbitrary bytes to SetObjectString. A failed read must leave the target as it was. A
// successful read must give a consistent tree that the writer writes without an error, and a
// tree the read-back check finds nothing in must write a text that reads back into a tree
// writing exactly the same text. (The check may find something in a few texts that do read
// back, such as a key that is a lone mark; that costs an Export refusal, never data.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace {

using quenlo::Tavrix;
using quenlo::TavrixPtr;
using quenlo::fuzz::Fail;
using quenlo::fuzz::RequireConsistent;

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
  if (!target->FindUnreadableValue().empty()) return 0;
  const TavrixPtr again = Tavrix::Create();
  try {
    again->SetObjectString(first);
  } catch (const quenlo::Error&) {
    Fail("a text the read-back check passed did not read back");
  }
  RequireConsistent(*again, "reading a written text");
  if (again->GetObjectString() != first) Fail("a text the read-back check passed read back differently");
  return 0;
}
