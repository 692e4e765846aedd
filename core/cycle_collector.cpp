// Cycle collection. Containers are counted references, so containers that hold one another
// keep each other alive after their callers let go of them. A collection counts, for every
// live container, the references that elements of containers hold to it. A container owned
// by more references than that is held from outside the containers (by a caller, a Variant
// or an object of another class): it is reachable, and so is everything it holds. The
// containers left over can only be reached from one another; emptying them breaks their
// cycles, and they die.
#include "core/cycle_collector.hpp"

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "core/access.hpp"
#include "core/nested_containers.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

using detail::access;

// Every live container, in a list linked through the containers themselves, newest first, so
// that joining and leaving touch only the neighbours, which were made about the same time.
// The links are kept inverted: a leak checker scanning memory must not take them for
// references, or it could never report a container that a program leaks.
struct LiveContainers {
  std::mutex mutex;
  std::uintptr_t newest = 0;
  std::size_t count = 0;
};

std::uintptr_t Link(Tavrix* container) noexcept {
  return container == nullptr ? 0 : ~reinterpret_cast<std::uintptr_t>(container);
}
Tavrix* Follow(std::uintptr_t link) noexcept {
  return link == 0 ? nullptr : reinterpret_cast<Tavrix*>(~link);
}

// Never destroyed, so that containers released during static destruction can still leave it.
LiveContainers& Live() {
  static LiveContainers* const live = new LiveContainers;
  return *live;
}

}  // namespace

template <class Visit>
void CycleCollector::ForEachChild(const Tavrix& container, const Visit& visit) {
  const Collection* const held[] = {&access::values(container), access::keys(container)};
  for (const Collection* collection_held : held) {
    if (collection_held == nullptr) continue;
    const Collection& collection = *collection_held;
    for (std::int32_t position = 1; position <= collection.Count(); ++position) {
      ForEachContainerIn(collection.At(position), [&visit](Tavrix& child, const Variant&) { visit(child); });
    }
  }
}

void CycleCollector::Track(Tavrix& container) noexcept {
  LiveContainers& live = Live();
  const std::lock_guard lock(live.mutex);
  access::older(container) = live.newest;
  if (Tavrix* const older = Follow(live.newest)) access::newer(*older) = Link(&container);
  live.newest = Link(&container);
  ++live.count;
}

void CycleCollector::Untrack(Tavrix& container) noexcept {
  LiveContainers& live = Live();
  const std::lock_guard lock(live.mutex);
  if (live.newest != Link(&container) && access::newer(container) == 0) return;  // never joined
  if (Tavrix* const older = Follow(access::older(container)))
    access::newer(*older) = access::newer(container);
  if (Tavrix* const newer = Follow(access::newer(container))) {
    access::older(*newer) = access::older(container);
  } else {
    live.newest = access::older(container);
  }
  --live.count;
}

std::vector<CycleCollector::Unreachable> CycleCollector::FindUnreachable(std::vector<TavrixPtr>& owners) {
  LiveContainers& live = Live();
  const std::lock_guard lock(live.mutex);
  // References from outside the containers: every owner but ours, less those held by elements.
  std::vector<long> references;
  std::vector<long> outside;
  std::vector<std::uint32_t> generations;
  std::unordered_map<const Tavrix*, std::size_t> index;
  owners.reserve(live.count);
  references.reserve(live.count);
  outside.reserve(live.count);
  generations.reserve(live.count);
  index.reserve(live.count);
  for (Tavrix* container = Follow(live.newest); container != nullptr;
       container = Follow(access::older(*container))) {
    // Empty for a container whose last owner is gone and whose destructor waits to leave.
    auto owner = std::static_pointer_cast<Tavrix>(container->weak_from_this().lock());
    if (!owner) continue;
    index.emplace(container, owners.size());
    references.push_back(owner.use_count());
    outside.push_back(owner.use_count() - 1);
    generations.push_back(access::generation(*container));
    owners.push_back(std::move(owner));
  }
  for (const TavrixPtr& owner : owners) {
    ForEachChild(*owner, [&](const Tavrix& child) { --outside[index.at(&child)]; });
  }

  std::vector<bool> reached(owners.size(), false);
  std::vector<std::size_t> pending;
  const auto reach = [&](std::size_t at) {
    if (reached[at]) return;
    reached[at] = true;
    pending.push_back(at);
  };
  for (std::size_t at = 0; at < owners.size(); ++at) {
    if (outside[at] > 0) reach(at);
  }
  while (!pending.empty()) {
    const std::size_t at = pending.back();
    pending.pop_back();
    ForEachChild(*owners[at], [&](const Tavrix& child) { reach(index.at(&child)); });
  }

  // Another thread that changed a container while it was counted may have misled the count.
  for (std::size_t at = 0; at < owners.size(); ++at) {
    if (access::generation(*owners[at]) != generations[at]) RaiseChangedMeanwhile();
  }
  std::vector<Unreachable> unreachable;
  for (std::size_t at = 0; at < owners.size(); ++at) {
    if (!reached[at]) unreachable.push_back({owners[at].get(), std::move(owners[at]), references[at]});
  }
  return unreachable;
}

std::size_t CycleCollector::Collect() {
  // One collection at a time: the references a collection holds would count as outside ones
  // in another.
  static std::mutex collecting;
  const std::lock_guard one_at_a_time(collecting);
  // Our own references are let go only after the list is unlocked: a container that dies
  // with them leaves the list.
  std::vector<TavrixPtr> owners;
  const std::vector<Unreachable> unreachable = FindUnreachable(owners);
  owners.clear();
  // No thread may take up an unreachable container from now on, by its identity say: it is
  // about to be emptied. One that did already makes the collection release nothing.
  for (const Unreachable& found : unreachable) {
    if (!IdentityRegistry::ClaimReferences(found.owner, found.references)) RaiseChangedMeanwhile();
  }
  for (const Unreachable& found : unreachable) found.container->SetNil();
  return unreachable.size();
}

void CycleCollector::RaiseChangedMeanwhile() {
  RaiseRuntimeError(err::kArrayLocked, "containers were changed or taken up while cycles were collected");
}

std::size_t Tavrix::CollectCycles() {
  return TranslateErrors([] { return CycleCollector::Collect(); });
}

}  // namespace quenlo
