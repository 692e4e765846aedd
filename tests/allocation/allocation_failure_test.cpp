// Every allocation a public member makes may fail: this program replaces operator new so that
// the allocation chosen fails, and tries each allocation of a call in turn. The call either
// succeeds or raises runtime error 7, never lets std::bad_alloc out, and a container it was
// changing stays as it was.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "quenlo/collection.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace {

// The allocations left before the one that fails; negative while none is to fail.
long allocations_before_failure = -1;
bool failure_injected = false;

void* Allocate(std::size_t size) {
  if (allocations_before_failure == 0) {
    allocations_before_failure = -1;
    failure_injected = true;
    throw std::bad_alloc();
  }
  if (allocations_before_failure > 0) --allocations_before_failure;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

// Every form, so that none is left to a sanitizer's own allocator.
void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

namespace quenlo {
namespace {

// Runs `call` with its first, second, ... allocation failing until it makes no more
// allocations than that; after each failure `unchanged` checks what the call must leave as it
// was. `prepare` makes its arguments before each try, with nothing failing: what the caller's
// own code allocates is not the library's.
void FailEachAllocation(const std::function<void()>& call, const std::function<void()>& unchanged = nullptr,
                        const std::function<void()>& prepare = nullptr) {
  for (long failing = 0;; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
    if (prepare) prepare();
    failure_injected = false;
    allocations_before_failure = failing;
    int error = 0;
    bool escaped = false;
    try {
      call();
    } catch (const Error& raised) {
      error = raised.Number();
    } catch (const std::bad_alloc&) {
      escaped = true;
    }
    allocations_before_failure = -1;
    EXPECT_FALSE(escaped) << "std::bad_alloc escaped";
    EXPECT_TRUE(error == 0 || error == err::kOutOfMemory) << error;
    if (error != 0 && unchanged) unchanged();
    if (!failure_injected) {
      EXPECT_GT(failing, 0) << "the call made no allocation to fail";
      return;
    }
  }
}

const std::string kLongText(100, 'x');

TEST(AllocationFailure, VariantsAndTextsRaiseOutOfMemory) {
  const Variant long_text = kLongText;
  const Variant array = Variant::Array({long_text, 1, Variant::Array({long_text})});
  std::vector<Variant> elements;
  FailEachAllocation([] { const Variant text(kLongText); });
  FailEachAllocation([&elements] { Variant::Array(std::move(elements)); }, nullptr,
                     [&] {
                       elements = {long_text, array};
                     });
  FailEachAllocation([&array] { const Variant copy = array; });
  FailEachAllocation([&] {
    Variant target = 1;
    target = array;
  });
  FailEachAllocation([&long_text] { ConcatText(long_text); });
  FailEachAllocation([&long_text] { CStr(long_text); });
}

TEST(AllocationFailure, CollectionsRaiseOutOfMemoryAndStayAsTheyWere) {
  Collection keyed;
  for (int index = 1; index <= 20; ++index) keyed.Append(index, kLongText + std::to_string(index));
  const Variant item = kLongText, key = kLongText + "new";
  const auto unchanged = [&keyed] {
    EXPECT_EQ(keyed.Count(), 20);
    EXPECT_EQ(keyed.FindKey(kLongText + "20"), 20);
  };
  FailEachAllocation([&] { keyed.Add(item, key); }, unchanged);
  FailEachAllocation([&] { (void)keyed.KeyAt(3); });
  FailEachAllocation([&] { (void)keyed.Copy(true); });
}

TEST(AllocationFailure, ContainerMembersRaiseOutOfMemoryAndChangeNothing) {
  const TavrixPtr map = Tavrix::Create();
  map->SetMap();
  for (int index = 1; index <= 20; ++index) map->Item(kLongText + std::to_string(index), index);
  const std::string text = map->GetObjectString();
  const auto unchanged = [&] { EXPECT_EQ(map->GetObjectString(), text); };
  const Variant long_text = kLongText, third = kLongText + "3", one = 1;
  FailEachAllocation([&] { map->Item(long_text, long_text); }, unchanged);
  map->Remove(long_text);
  FailEachAllocation([&] { map->AddLast(long_text); }, unchanged);
  map->Remove(long_text);
  FailEachAllocation([&] { (void)map->GetKeys(); });
  FailEachAllocation([&] { (void)map->Clone(); });
  FailEachAllocation([&] { (void)map->IsNumeric(third); });

  const TavrixPtr array = Tavrix::Create();
  const std::vector<Variant> members = {long_text, map};
  FailEachAllocation([&] { array->SetSet(members); });
  array->SetArray();
  FailEachAllocation([&] { array->AddLast(long_text); });
  FailEachAllocation([&] { array->Insert(one, long_text); });
  FailEachAllocation([&] { array->Item(long_text, one); });
  FailEachAllocation([] { Tavrix::Create(); });
}

}  // namespace
}  // namespace quenlo
