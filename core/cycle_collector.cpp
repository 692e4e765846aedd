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
#include <typeinfo>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

constexpr std::uint32_t kUntracked = ~std::uint32_t{0};

// Every live container; each knows its own place in the list, so joining and leaving cost
// the same whatever the number of containers. The addresses are kept inverted: a leak checker
// scanning memory must not take the list for a reference, or it could never report a
// container that a program leaks.
class LiveContainers {
 public:
  std::mutex mutex;

  std::size_t Size() const noexcept { return list_.size(); }
  Tavrix& At(std::size_t slot) const noexcept { return *Reveal(list_[slot]); }
  void Add(Tavrix* container) { list_.push_back(Disguise(container)); }
  // Fills `slot` with the last container and returns that one, whose place has changed.
  Tavrix& RemoveAt(std::size_t slot) noexcept {
    Tavrix& moved = *Reveal(list_.back());
    list_[slot] = list_.back();
    list_.pop_back();
    return moved;
  }

 private:
  static std::uintptr_t Disguise(Tavrix* container) noexcept {
    return ~reinterpret_cast<std::uintptr_t>(container);
  }
  static Tavrix* Reveal(std::uintptr_t disguised) noexcept { return reinterpret_cast<Tavrix*>(~disguised); }

  std::vector<std::uintptr_t> list_;
};

// Never destroyed, so that containers released during static destruction can still leave it.
LiveContainers& Live() {
  static LiveContainers* const live = new LiveContainers;
  return *live;
}

// Calls `visit` with the container `item` holds, or with each one a Variant array holds.
template <class Visit>
void ForEachContainerIn(const Variant& item, const Visit& visit) {
  if (item.IsArray()) {
    for (const Variant& element : item.AsArray()) ForEachContainerIn(element, visit);
    return;
  }
  if (!item.IsObject() || item.AsObject() == nullptr) return;
  Object& object = *item.AsObject();
  // Tavrix is final, so its exact type identifies it cheaply.
  if (typeid(object) == typeid(Tavrix)) visit(static_cast<Tavrix&>(object));
}

}  // namespace

template <class Visit>
void CycleCollector::ForEachChild(const Tavrix& container, const Visit& visit) {
  for (const auto* storage : {&container.values_, &container.keys_}) {
    if (!*storage) continue;
    const Collection& collection = **storage;
    for (std::int32_t position = 1; position <= collection.Count(); ++position) {
      ForEachContainerIn(collection.At(position), visit);
    }
  }
}

void CycleCollector::Track(Tavrix& container) {
  LiveContainers& live = Live();
  const std::lock_guard lock(live.mutex);
  if (live.Size() >= kUntracked) RaiseRuntimeError(err::kOutOfMemory);
  live.Add(&container);
  container.registry_slot_ = static_cast<std::uint32_t>(live.Size() - 1);
}

void CycleCollector::Untrack(Tavrix& container) noexcept {
  LiveContainers& live = Live();
  const std::lock_guard lock(live.mutex);
  const std::uint32_t slot = container.registry_slot_;
  if (slot == kUntracked) return;
  live.RemoveAt(slot).registry_slot_ = slot;
  container.registry_slot_ = kUntracked;
}

std::vector<TavrixPtr> CycleCollector::FindUnreachable(std::vector<TavrixPtr>& owners) {
  LiveContainers& live = Live();
  const std::lock_guard lock(live.mutex);
  const std::size_t count = live.Size();
  owners.resize(count);
  // References from outside the containers: every owner but ours, less those held by elements.
  std::vector<long> outside(count, 0);
  for (std::size_t slot = 0; slot < count; ++slot) {
    // Empty for a container whose last owner is gone and whose destructor waits to leave.
    owners[slot] = std::static_pointer_cast<Tavrix>(live.At(slot).weak_from_this().lock());
    if (owners[slot]) outside[slot] = owners[slot].use_count() - 1;
  }
  for (const TavrixPtr& owner : owners) {
    if (owner) ForEachChild(*owner, [&outside](const Tavrix& child) { --outside[child.registry_slot_]; });
  }

  std::vector<bool> reached(count, false);
  std::vector<std::uint32_t> pending;
  const auto reach = [&](std::uint32_t slot) {
    if (reached[slot]) return;
    reached[slot] = true;
    pending.push_back(slot);
  };
  for (std::size_t slot = 0; slot < count; ++slot) {
    if (owners[slot] && outside[slot] > 0) reach(static_cast<std::uint32_t>(slot));
  }
  while (!pending.empty()) {
    const std::uint32_t slot = pending.back();
    pending.pop_back();
    ForEachChild(*owners[slot], [&reach](const Tavrix& child) { reach(child.registry_slot_); });
  }

  std::vector<TavrixPtr> unreachable;
  for (std::size_t slot = 0; slot < count; ++slot) {
    if (owners[slot] && !reached[slot]) unreachable.push_back(std::move(owners[slot]));
  }
  return unreachable;
}

std::size_t CycleCollector::Collect() {
  // Our own references are let go only after the list is unlocked: a container that dies
  // with them leaves the list.
  std::vector<TavrixPtr> owners;
  const std::vector<TavrixPtr> unreachable = FindUnreachable(owners);
  owners.clear();
  for (const TavrixPtr& container : unreachable) container->SetNil();
  return unreachable.size();
}

std::size_t Tavrix::CollectCycles() {
  return TranslateErrors([] { return CycleCollector::Collect(); });
}

}  // namespace quenlo
