// One tree read from several threads at once through every member that only reads: each
// thread sees the single-thread result every time, and the tree is left as it was. CI runs
// this program under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

// A Map holding an Array, a Map shared twice, a Stack, a Queue, and itself.
TavrixPtr MakeSharedTree() {
  const TavrixPtr shared = testing::MapOf("x", 1.5), array = testing::Make(KindUnboundedArray),
                  stack = testing::Make(KindStack), queue = testing::Make(KindQueue);
  for (int element = 1; element <= 20; ++element) {
    array->AddLast(element * 3);
    stack->Push("s" + std::to_string(element));
    queue->Push(shared);
  }
  array->AddLast(shared);
  const TavrixPtr tree = testing::MapOf("array", array, "shared", shared, "stack", stack, "queue", queue);
  tree->Item("self", tree);
  return tree;
}

// Everything the reading members give for the tree.
std::string ReadEverything(const Tavrix& tree) {
  const TavrixPtr array = tree.Item("array").ObjectAs<Tavrix>();
  std::string seen = tree.GetObjectString() + tree.DebugPrint() + tree.FindUnreadableValue();
  seen += std::to_string(array->Find(30)) + std::to_string(array->Find(tree.Item("shared")));
  seen += std::to_string(tree.Exists("stack")) + std::to_string(array->Exists(57));
  seen += std::to_string(tree.Length()) + tree.GetKeys()->GetObjectString();
  seen += tree.Clone()->GetObjectString() + tree.Item("queue").ObjectAs<Tavrix>()->Clone()->DebugPrint();
  return seen;
}

TEST(SharedReading, ThreadsReadingOneTreeSeeWhatOneThreadSeesAndLeaveItAsItWas) {
  const TavrixPtr tree = MakeSharedTree();
  const std::string expected = ReadEverything(*tree);
  const std::string text = tree->GetObjectString();
  std::atomic<int> mismatches = 0;
  std::vector<std::thread> readers;
  for (int thread = 0; thread < 4; ++thread) {
    readers.emplace_back([&] {
      for (int round = 0; round < 600; ++round) {
        if (ReadEverything(*tree) != expected) ++mismatches;
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(tree->GetObjectString(), text);
  EXPECT_EQ(tree->FindInconsistency(), "");
  tree->Remove("self");  // breaks the cycle so the tree is released
}

}  // namespace
}  // namespace quenlo
