// Separate container trees used on several threads at once: built, written, read, dumped,
// copied, handed to another thread and released there, with identities given out and
// resolved on the way. CI runs this program under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 150;
constexpr std::size_t kContainersPerTree = 4;

// A Map holding an Array, a Stack and a Queue, an object every tree shares, and `seed` in
// several types.
TavrixPtr MakeTree(const std::shared_ptr<Object>& shared, int seed) {
  const TavrixPtr array = testing::Make(KindUnboundedArray), stack = testing::Make(KindStack),
                  queue = testing::Make(KindQueue);
  for (int element = 0; element < 8; ++element) {
    array->AddLast(seed * element + 0.5);
    stack->Push(element);
    queue->Push(std::to_string(element));
  }
  array->AddLast(queue);
  const TavrixPtr tree = testing::MapOf("n", seed, "text", "round " + std::to_string(seed), "shared", shared,
                                        "array", array, "stack", stack);
  tree->Tag("tree " + std::to_string(seed));
  return tree;
}

// Builds, writes, reads back, dumps and copies trees; each tree ends up holding itself and
// is handed to whichever thread takes it next, which lets go of it.
class TreeWorkers {
 public:
  void Run(int seed) {
    for (int round = 0; round < kRounds; ++round) {
      const TavrixPtr tree = MakeTree(shared_, seed * kRounds + round);
      const std::string text = tree->GetObjectString();
      const TavrixPtr copy = Tavrix::Create();
      copy->SetObjectString(text);
      const bool same = copy->GetObjectString() == text && copy->DebugPrint() == tree->DebugPrint() &&
                        tree->Clone()->Item("shared") == Variant(shared_) &&
                        IdentityRegistry::Resolve(IdentityRegistry::IdentityOf(tree)) == tree;
      failures_ += same ? 0 : 1;
      tree->Item("self", tree);
      failures_ += tree->DebugPrint().find("Pointer to ") != std::string::npos ? 0 : 1;
      Exchange(tree);
    }
  }

  int Failures() const { return failures_.load(); }

 private:
  // Leaves `tree` in the mailbox and lets go of the tree another thread left there.
  void Exchange(TavrixPtr tree) {
    const std::lock_guard lock(mailbox_mutex_);
    mailbox_.swap(tree);
  }

  const std::shared_ptr<Object> shared_ = std::make_shared<Object>();
  std::atomic<int> failures_{0};
  std::mutex mailbox_mutex_;
  TavrixPtr mailbox_;
};

TEST(Threads, SeparateTreesAreUsedSideBySide) {
  Tavrix::CollectCycles();
  const std::size_t identities_before = IdentityRegistry::LiveCount();
  {
    TreeWorkers workers;
    std::vector<std::thread> threads;
    for (int seed = 0; seed < kThreads; ++seed) threads.emplace_back([&workers, seed] { workers.Run(seed); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(workers.Failures(), 0);
  }
  // Every tree held itself; released together, once no thread uses containers.
  EXPECT_EQ(Tavrix::CollectCycles(), kThreads * kRounds * kContainersPerTree);
  EXPECT_EQ(IdentityRegistry::LiveCount(), identities_before);
}

}  // namespace
}  // namespace quenlo
