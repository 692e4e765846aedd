// Lists with DebugPrint what the input reads as: the tree read, and the same tree once it holds
// itself. A failed read must change nothing, every walk must leave the tree consistent, and a
// tree without a cycle must list the same way twice.
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

// The listing, or the error that stopped it (a tree nested too deep, say).
std::string ListingOf(const Tavrix& tree) {
  std::string listing;
  try {
    listing = tree.DebugPrint();
  } catch (const quenlo::Error& error) {
    listing = "error " + std::to_string(error.Number());
  }
  RequireConsistent(tree, "DebugPrint");
  return listing;
}

// A Map holding a scalar and a nested Array, so that a failed read has something to spoil.
TavrixPtr MakeTarget() {
  const TavrixPtr nested = Tavrix::Create();
  nested->SetArray();
  nested->AddLast(2.5);
  const TavrixPtr target = Tavrix::Create();
  target->SetMap();
  target->Item("k", 1);
  target->Item("n", nested);
  target->Tag("kept");
  return target;
}

// Stores `tree` in itself where its kind takes another element; false where it takes none.
bool AddSelfReference(const TavrixPtr& tree) {
  try {
    switch (tree->Kind()) {
      case quenlo::KindMap:
        tree->Item("self", tree);
        return true;
      case quenlo::KindBoundedArray:
      case quenlo::KindUnboundedArray:
        tree->AddLast(tree);
        return true;
      case quenlo::KindStack:
      case quenlo::KindQueue:
        tree->Push(tree);
        return true;
      case quenlo::KindVariant:
        tree->Item(1, tree);
        return true;
      default:
        return false;
    }
  } catch (const quenlo::Error&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quenlo::fuzz::RegisterSharedObject();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TavrixPtr tree = MakeTarget();
  const std::string before = ListingOf(*tree);
  try {
    tree->SetObjectString(text);
  } catch (const quenlo::Error&) {
    if (ListingOf(*tree) != before || tree->Tag() != "kept") Fail("a failed read changed the target");
    return 0;
  }
  RequireConsistent(*tree, "a read");
  if (ListingOf(*tree) != ListingOf(*tree)) Fail("a tree without a cycle listed differently twice");
  if (AddSelfReference(tree)) {
    ListingOf(*tree);
    tree->SetNil();  // breaks the cycle, so that the tree is released
  }
  return 0;
}
