// Identities read on some threads while other threads release the containers they name: a
// reader gets the whole container or error 5, never one that is being taken apart.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

constexpr int kTreesToRelease = 600;
constexpr std::size_t kChildren = 256;
constexpr int kReaders = 2;
constexpr const char* kChildText = R"(\11000\{\8\a: \3\1, \8\b: \8\two})";

using Published = std::array<std::atomic<std::int32_t>, kChildren>;

// Maps that each hold many child Maps: the children's identities are published, then the tree
// is let go, so that the children die one after another as its elements.
void ReleaseTrees(Published& published) {
  for (int round = 0; round < kTreesToRelease; ++round) {
    const TavrixPtr tree = testing::Make(KindUnboundedArray);
    for (std::atomic<std::int32_t>& identity : published) {
      const TavrixPtr child = testing::Read(kChildText);
      tree->AddLast(child);
      identity.store(IdentityRegistry::IdentityOf(child), std::memory_order_relaxed);
    }
  }
}

struct ReadCounts {
  std::atomic<int> whole{0}, unknown{0}, broken{0};
};

// Reads "\9\N" for each published identity in turn; an identity either reads as the whole
// child or raises 5.
void ReadIdentities(const Published& published, const std::atomic<bool>& done, ReadCounts& counts) {
  const TavrixPtr target = Tavrix::Create();
  for (std::size_t next = 0; !done.load(std::memory_order_relaxed); next = (next + 1) % kChildren) {
    const std::int32_t identity = published[next].load(std::memory_order_relaxed);
    if (identity == 0) continue;
    try {
      target->SetObjectString(R"(\11000\[\9\)" + std::to_string(identity) + "]");
    } catch (const Error& error) {
      counts.unknown += error.Number() == err::kInvalidProcedureCall ? 1 : 0;
      counts.broken += error.Number() == err::kInvalidProcedureCall ? 0 : 1;
      continue;
    }
    const auto child = target->Item(1).ObjectAs<Tavrix>();
    const bool whole =
        child != nullptr && child->FindInconsistency().empty() && child->GetObjectString() == kChildText;
    counts.whole += whole ? 1 : 0;
    counts.broken += whole ? 0 : 1;
  }
}

TEST(Threads, IdentitiesResolveToWholeContainersOrRaiseWhileTheyAreReleased) {
  Published published{};
  std::atomic<bool> done{false};
  ReadCounts total;
  std::vector<std::thread> readers;
  for (int reader = 0; reader < kReaders; ++reader)
    readers.emplace_back([&published, &done, &total] { ReadIdentities(published, done, total); });
  ReleaseTrees(published);
  done = true;
  for (std::thread& thread : readers) thread.join();
  EXPECT_EQ(total.broken.load(), 0) << total.whole << " whole, " << total.unknown << " unknown";
  EXPECT_GT(total.whole.load(), 0);
  EXPECT_GT(total.unknown.load(), 0);
}

}  // namespace
}  // namespace quenlo
