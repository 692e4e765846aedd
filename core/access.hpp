// The one door through which the library's own code reaches the record of a container. Internal
// code reads and changes a container only through these functions, so the record's layout is
// known here and in the members of Tavrix alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "quenlo/collection.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo::detail {

class access {
 public:
  static detail::KindByte& kind(Tavrix& container) noexcept { return container.kind_; }
  static TavrixKind kind(const Tavrix& container) noexcept { return container.kind_; }
  static std::int32_t& bound(Tavrix& container) noexcept { return container.bound_; }
  static Collection& values(Tavrix& container) noexcept { return container.values_; }
  static const Collection& values(const Tavrix& container) noexcept { return container.values_; }
  /// A Map's keys as given, once it keeps them (see Tavrix::keys_).
  static std::unique_ptr<Collection>& keys(Tavrix& container) noexcept { return container.keys_; }
  static const Collection* keys(const Tavrix& container) noexcept { return container.keys_.get(); }

  /// The count of changes of kind, bound or elements (see Tavrix::NoteChange).
  static std::uint32_t generation(const Tavrix& container) noexcept {
    return container.generation_.load(std::memory_order_relaxed);
  }

  /// Notes a change of kind, bound or elements made from outside the members.
  static void NoteChange(Tavrix& container) noexcept { container.NoteChange(); }

  /// The container's links in the list of live containers.
  static std::uintptr_t& newer(Tavrix& container) noexcept { return container.newer_; }
  static std::uintptr_t& older(Tavrix& container) noexcept { return container.older_; }

  /// Puts new storage in place before the former collections are let go.
  static void ReplaceStorage(Tavrix& container, Collection values,
                             std::unique_ptr<Collection> keys) noexcept {
    container.ReplaceStorage(std::move(values), std::move(keys));
  }
};

}  // namespace quenlo::detail
