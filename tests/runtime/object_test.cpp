#include "quenlo/object.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "quenlo/error.hpp"

namespace quenlo {
namespace {

std::int32_t ResolveError(std::int32_t identity) {
  try {
    IdentityRegistry::Resolve(identity);
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

TEST(Object, BaseClassHasNoDefaultMember) {
  const auto object = std::make_shared<Object>();
  EXPECT_FALSE(object->HasDefaultMember());
  EXPECT_THROW(object->DefaultMember(), Error);
}

TEST(IdentityRegistry, LiveObjectsKeepDistinctNumbersAndResolve) {
  const auto first = std::make_shared<Object>();
  const auto second = std::make_shared<Object>();
  const std::int32_t identity = IdentityRegistry::IdentityOf(first);
  EXPECT_GT(identity, 0);
  EXPECT_EQ(IdentityRegistry::IdentityOf(first.get()), identity);
  EXPECT_NE(IdentityRegistry::IdentityOf(second), identity);
  EXPECT_EQ(IdentityRegistry::IdentityOf(nullptr), 0);
  EXPECT_EQ(IdentityRegistry::Resolve(identity), first);
  EXPECT_EQ(IdentityRegistry::Resolve(0), nullptr);
}

TEST(IdentityRegistry, ReleasedAndUnknownNumbersRaiseInvalidProcedureCall) {
  const std::size_t live_before = IdentityRegistry::LiveCount();
  auto object = std::make_shared<Object>();
  const std::int32_t identity = IdentityRegistry::IdentityOf(object);
  EXPECT_EQ(IdentityRegistry::LiveCount(), live_before + 1);
  object.reset();
  EXPECT_EQ(IdentityRegistry::LiveCount(), live_before);
  EXPECT_EQ(ResolveError(identity), err::kInvalidProcedureCall);
  EXPECT_EQ(ResolveError(2000000000), err::kInvalidProcedureCall);
  EXPECT_EQ(ResolveError(-7), err::kInvalidProcedureCall);
}

TEST(IdentityRegistry, ObjectWithoutOwnerIsNumberedButResolvesOnlyOnceOwned) {
  auto* raw = new Object;
  const std::int32_t identity = IdentityRegistry::IdentityOf(raw);
  EXPECT_GT(identity, 0);
  EXPECT_EQ(ResolveError(identity), err::kInvalidProcedureCall);
  const std::shared_ptr<Object> owner(raw);
  EXPECT_EQ(IdentityRegistry::Resolve(identity), owner);
}

// While its destructor runs, an object has lost its last owner but is still registered.
class SelfResolvingObject : public Object {
 public:
  explicit SelfResolvingObject(std::int32_t* seen_error) : seen_error_(seen_error) {}
  ~SelfResolvingObject() override { *seen_error_ = ResolveError(IdentityRegistry::IdentityOf(this)); }

 private:
  std::int32_t* seen_error_;
};

TEST(IdentityRegistry, DyingObjectIsNotHandedOut) {
  std::int32_t seen_error = 0;
  auto object = std::make_shared<SelfResolvingObject>(&seen_error);
  IdentityRegistry::IdentityOf(object.get());
  object.reset();
  EXPECT_EQ(seen_error, err::kInvalidProcedureCall);
}

TEST(IdentityRegistry, ThreadsNumberAndResolveObjectsConcurrently) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 3000;
  constexpr std::size_t kBatch = 8;
  const auto shared = std::make_shared<Object>();
  std::atomic<std::int32_t> published{0};
  std::atomic<int> failures{0};
  auto work = [&] {
    const std::int32_t shared_identity = IdentityRegistry::IdentityOf(shared);
    for (int round = 0; round < kRounds; ++round) {
      std::vector<std::shared_ptr<Object>> batch;
      std::vector<std::int32_t> identities;
      for (std::size_t i = 0; i < kBatch; ++i) {
        batch.push_back(std::make_shared<Object>());
        identities.push_back(IdentityRegistry::IdentityOf(batch.back()));
      }
      for (std::size_t i = 0; i < kBatch; ++i)
        failures += IdentityRegistry::Resolve(identities[i]) == batch[i] ? 0 : 1;
      failures += IdentityRegistry::Resolve(shared_identity) == shared ? 0 : 1;
      // Another thread's number: either that object, still alive, or unknown by now.
      const std::int32_t foreign = published.exchange(identities.front());
      if (foreign == 0) continue;
      try {
        failures += IdentityRegistry::IdentityOf(IdentityRegistry::Resolve(foreign)) == foreign ? 0 : 1;
      } catch (const Error& error) {
        failures += error.Number() == err::kInvalidProcedureCall ? 0 : 1;
      }
    }
  };
  const std::size_t live_before = IdentityRegistry::LiveCount();
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(work);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  // Only the shared object is still numbered, and under one number.
  EXPECT_EQ(IdentityRegistry::LiveCount(), live_before + 1);
}

}  // namespace
}  // namespace quenlo
