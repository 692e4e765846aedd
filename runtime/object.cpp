// Object and the process-wide identity registry.
#include "quenlo/object.hpp"

#include <limits>
#include <mutex>
#include <unordered_map>

#include "quenlo/error.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

constexpr std::int32_t kLargestIdentity = std::numeric_limits<std::int32_t>::max();

// One registered object: a weak reference through which Resolve hands out an owner (it
// locks to nothing once the last owner is gone, even before the destructor unregisters),
// and the address, read only to learn the owner of an object numbered before it had one.
// The address is safe to read while registered: ~Object unregisters before the base
// holding the object's own weak reference is destroyed.
struct Registration {
  const Object* object;
  std::weak_ptr<const Object> owner;
};

struct RegistryState {
  std::mutex mutex;
  std::unordered_map<std::int32_t, Registration> live;
  // Numbers are handed out in rising order and wrap around, so a released number is not
  // given again soon: a stale number then reads as unknown rather than as another object.
  std::int32_t next = 1;

  std::int32_t TakeFreeNumber() {
    if (live.size() >= static_cast<std::size_t>(kLargestIdentity)) RaiseRuntimeError(err::kOutOfMemory);
    while (live.contains(next)) Advance();
    const std::int32_t number = next;
    Advance();
    return number;
  }

  void Advance() noexcept { next = next == kLargestIdentity ? 1 : next + 1; }
};

// Never destroyed, so that objects released during static destruction can still unregister.
RegistryState& State() {
  static RegistryState* const state = new RegistryState;
  return *state;
}

bool NeverAssigned(const std::weak_ptr<const Object>& owner) noexcept {
  const std::weak_ptr<const Object> empty;
  return !owner.owner_before(empty) && !empty.owner_before(owner);
}

}  // namespace

Object::~Object() {
  const std::int32_t identity = identity_.load(std::memory_order_acquire);
  if (identity != 0) IdentityRegistry::Release(identity);
}

Variant Object::DefaultMember() const {
  RaiseRuntimeError(err::kNotSupported);
}

std::int32_t IdentityRegistry::IdentityOf(const Object* object) {
  if (object == nullptr) return 0;
  const std::int32_t known = object->identity_.load(std::memory_order_acquire);
  if (known != 0) return known;
  return TranslateErrors([object] {
    RegistryState& state = State();
    const std::lock_guard lock(state.mutex);
    std::int32_t identity = object->identity_.load(std::memory_order_relaxed);
    if (identity == 0) {
      identity = state.TakeFreeNumber();
      state.live.emplace(identity, Registration{object, object->weak_from_this()});
      object->identity_.store(identity, std::memory_order_release);
    }
    return identity;
  });
}

std::shared_ptr<Object> IdentityRegistry::Resolve(std::int32_t identity) {
  if (identity == 0) return nullptr;
  RegistryState& state = State();
  std::shared_ptr<Object> object;
  {
    const std::lock_guard lock(state.mutex);
    const auto found = state.live.find(identity);
    if (found != state.live.end()) {
      Registration& registration = found->second;
      // An object asked for its number before a shared_ptr owned it learns its owner now.
      if (NeverAssigned(registration.owner)) registration.owner = registration.object->weak_from_this();
      // Empty also while the last owner is gone but the destructor has not unregistered yet.
      // Objects are owned as mutable; the registry only kept a const view to number them.
      object = std::const_pointer_cast<Object>(registration.owner.lock());
    }
  }
  if (object == nullptr) RaiseRuntimeError(err::kInvalidProcedureCall);
  return object;
}

std::size_t IdentityRegistry::LiveCount() {
  RegistryState& state = State();
  const std::lock_guard lock(state.mutex);
  return state.live.size();
}

bool IdentityRegistry::ClaimReferences(const std::shared_ptr<Object>& owner, long count) noexcept {
  if (owner.use_count() != count) return false;
  // Without an identity, only the owners counted could hand out another reference.
  if (owner->identity_.load(std::memory_order_acquire) == 0) return true;
  RegistryState& state = State();
  const std::lock_guard lock(state.mutex);
  if (owner.use_count() != count) return false;  // resolved by another thread meanwhile
  state.live.erase(owner->identity_.exchange(0, std::memory_order_acq_rel));
  return true;
}

void IdentityRegistry::Release(std::int32_t identity) noexcept {
  RegistryState& state = State();
  const std::lock_guard lock(state.mutex);
  state.live.erase(identity);
}

}  // namespace quenlo
