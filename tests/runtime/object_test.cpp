#include "quenlo/object.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "quenlo/error.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

std::int32_t ResolveError(std::int32_t identity) {
  return testing::ErrorNumberOf([&] { IdentityRegistry::Resolve(identity); });
}

TEST(IdentityRegistry, LiveObjectsKeepDistinctNumbersAndDeadOrUnknownOnesRaise) {
  const std::size_t live_before = IdentityRegistry::LiveCount();
  auto first = std::make_shared<Object>();
  const auto second = std::make_shared<Object>();
  const std::int32_t identity = IdentityRegistry::IdentityOf(first);
  EXPECT_EQ(IdentityRegistry::IdentityOf(first.get()), identity);
  EXPECT_NE(IdentityRegistry::IdentityOf(second), identity);
  EXPECT_EQ(IdentityRegistry::IdentityOf(nullptr), 0);
  EXPECT_EQ(IdentityRegistry::Resolve(identity), first);
  EXPECT_EQ(IdentityRegistry::Resolve(0), nullptr);
  first.reset();
  EXPECT_EQ(IdentityRegistry::LiveCount(), live_before + 1);
  for (const std::int32_t unknown : {identity, 2000000000, -7})
    EXPECT_EQ(ResolveError(unknown), err::kInvalidProcedureCall) << unknown;
}

// While its destructor runs, an object has lost its last owner but is still registered.
struct SelfResolvingObject : Object {
  explicit SelfResolvingObject(std::int32_t& seen_error) : seen_error_(seen_error) {}
  ~SelfResolvingObject() override { seen_error_ = ResolveError(IdentityRegistry::IdentityOf(this)); }
  std::int32_t& seen_error_;
};

TEST(IdentityRegistry, OnlyAnOwnedLiveObjectIsHandedOut) {
  auto* raw = new Object;
  const std::int32_t identity = IdentityRegistry::IdentityOf(raw);
  EXPECT_GT(identity, 0);
  EXPECT_EQ(ResolveError(identity), err::kInvalidProcedureCall);  // numbered, but not owned yet
  const std::shared_ptr<Object> owner(raw);
  EXPECT_EQ(IdentityRegistry::Resolve(identity), owner);

  std::int32_t seen_error = 0;
  auto dying = std::make_shared<SelfResolvingObject>(seen_error);
  IdentityRegistry::IdentityOf(dying.get());
  dying.reset();
  EXPECT_EQ(seen_error, err::kInvalidProcedureCall);
}

TEST(IdentityRegistry, ThreadsNumberAndResolveObjectsConcurrently) {
  const auto shared = std::make_shared<Object>();
  const std::size_t live_before = IdentityRegistry::LiveCount();
  std::atomic<std::int32_t> published{0};
  std::atomic<int> failures{0};
  const auto work = [&] {
    const std::int32_t shared_identity = IdentityRegistry::IdentityOf(shared);
    for (int round = 0; round < 3000; ++round) {
      std::vector<std::pair<std::shared_ptr<Object>, std::int32_t>> batch(8);
      for (auto& [object, identity] : batch)
        identity = IdentityRegistry::IdentityOf(object = std::make_shared<Object>());
      for (const auto& [object, identity] : batch)
        failures += IdentityRegistry::Resolve(identity) == object ? 0 : 1;
      failures += IdentityRegistry::Resolve(shared_identity) == shared ? 0 : 1;
      // Another thread's number: either that object, still alive, or unknown by now.
      const std::int32_t foreign = published.exchange(batch.front().second);
      if (foreign == 0) continue;
      try {
        failures += IdentityRegistry::IdentityOf(IdentityRegistry::Resolve(foreign)) == foreign ? 0 : 1;
      } catch (const Error& error) {
        failures += error.Number() == err::kInvalidProcedureCall ? 0 : 1;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back(work);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  // Only the shared object is still numbered, and under one number.
  EXPECT_EQ(IdentityRegistry::LiveCount(), live_before + 1);
}

}  // namespace
}  // namespace quenlo
