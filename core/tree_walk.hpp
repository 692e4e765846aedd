// The walk over a container tree that the object-string writer, the read-back check and the dump
// share. It keeps its state (the path it is on and the level of each container) to itself, so a
// walk never changes the tree: several threads may walk one tree at once, and every walk of a
// tree gives the same result. It keeps its own stack instead of recursing, so its depth is
// bounded by the nesting limit, not by the thread's stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/access.hpp"
#include "core/kind_marks.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {

/// The containers on a walk's path: a small open-addressed set. Members leave in the reverse
/// order they came in, so a member's slot can simply be emptied: no member that came earlier
/// probed past it.
class WalkPath {
 public:
  WalkPath() : slots_(kFirstCapacity, nullptr) {}

  bool Contains(const Tavrix* container) const noexcept {
    for (std::size_t slot = SlotOf(container);; slot = (slot + 1) & Mask()) {
      if (slots_[slot] == container) return true;
      if (slots_[slot] == nullptr) return false;
    }
  }

  void Add(const Tavrix* container) {
    if (2 * (order_.size() + 1) > slots_.size()) Grow();
    order_.push_back(container);
    Place(container);
  }

  /// Removes the member added last.
  void RemoveLast() noexcept {
    for (std::size_t slot = SlotOf(order_.back());; slot = (slot + 1) & Mask()) {
      if (slots_[slot] == order_.back()) {
        slots_[slot] = nullptr;
        break;
      }
    }
    order_.pop_back();
  }

 private:
  static constexpr std::size_t kFirstCapacity = 64;

  std::size_t Mask() const noexcept { return slots_.size() - 1; }

  std::size_t SlotOf(const Tavrix* container) const noexcept {
    // Fibonacci hashing of the address: containers are at least 16-byte aligned.
    const auto address = reinterpret_cast<std::uintptr_t>(container) >> 4;
    return static_cast<std::size_t>(address * 0x9E3779B97F4A7C15ull >> 40) & Mask();
  }

  void Place(const Tavrix* container) noexcept {
    std::size_t slot = SlotOf(container);
    while (slots_[slot] != nullptr) slot = (slot + 1) & Mask();
    slots_[slot] = container;
  }

  // Re-places the members in the order they came in, which keeps RemoveLast sound.
  void Grow() {
    slots_.assign(2 * slots_.size(), nullptr);
    for (const Tavrix* member : order_) Place(member);
  }

  std::vector<const Tavrix*> slots_;
  std::vector<const Tavrix*> order_;
};

/// Walks a container tree depth first, element by element, and tells a visitor what it meets:
///
///   visitor.Open(container, level)       a container's body begins
///   visitor.Element(container, position, level)   before each of its elements
///   visitor.Scalar(value)                an element that is not a container to enter
///   visitor.Reference(value)             an object that is not entered: another class's object,
///                                        nothing, or a container already on the walk's path
///   visitor.Close(container, level)      the body ends
///
/// A nested container is entered with the level of its parent plus 1; one already on the path is
/// a reference, which cuts cycles. The container the walk starts on is at level 0 and is not on
/// the path, so a container that holds itself is entered once more before the cycle is cut, and
/// from then on its own lines have the level of that entry. A container shared by several
/// parents is entered in full under each. A Variant-kind container has one element, a Nil none.
/// Going deeper than kMaxNestingDepth raises Out of stack space (28); an element a container does
/// not have (a Variant kind without its value) raises Subscript out of range (9).
class TreeWalk {
 public:
  template <class Visitor>
  static void Run(const Tavrix& root, Visitor& visitor) {
    TreeWalk walk(root);
    walk.Walk(visitor);
  }

  // What visitors read of a container.
  static TavrixKind KindOf(const Tavrix& container) noexcept { return detail::access::kind(container); }
  // Appends the text of the key of a Map's entry at `position`.
  static void AppendKeyText(std::string& out, const Tavrix& map, std::int32_t position) {
    if (const Collection* keys = detail::access::keys(map)) return AppendText(out, keys->At(position));
    detail::access::values(map).AppendKeyText(position, out);
  }
  // Appends the step to the element at `position` of a container to a path: "{key}" in a Map,
  // "[position]" elsewhere ("{items}[3]{name}").
  static void AppendPathStep(std::string& path, const Tavrix& container, std::int32_t position) {
    if (KindOf(container) != KindMap) {
      path += '[' + std::to_string(position) + ']';
      return;
    }
    path += '{';
    AppendKeyText(path, container, position);
    path += '}';
  }

 private:
  struct Frame {
    const Tavrix* container;
    std::int32_t position;  // of the element last begun
    std::int32_t count;
    std::int32_t level;
  };

  explicit TreeWalk(const Tavrix& root) : root_(root) { frames_.reserve(16); }

  template <class Visitor>
  void Walk(Visitor& visitor) {
    Enter(root_, 0, visitor);
    while (!frames_.empty()) {
      Frame& frame = frames_.back();
      if (frame.position == frame.count) {
        Leave(visitor);
        continue;
      }
      ++frame.position;
      const Variant& value = ElementAt(*frame.container, frame.position);
      if (frame.position < frame.count) Prefetch(ElementAt(*frame.container, frame.position + 1));
      if (KeyCallsOut(*frame.container, frame.position)) {
        GuardPath();
        visitor.Element(*frame.container, frame.position, frame.level);
        RequirePathUnchanged();
      } else {
        visitor.Element(*frame.container, frame.position, frame.level);
      }
      const Tavrix* nested = NestedIn(value);
      if (nested == nullptr) {
        if (value.IsObject()) {
          visitor.Reference(value);
        } else {
          visitor.Scalar(value);
        }
        continue;
      }
      if (frames_.size() > kMaxNestingDepth) RaiseRuntimeError(err::kOutOfStackSpace);
      const std::int32_t level = frame.level + 1;
      path_.Add(nested);
      Enter(*nested, level, visitor);
    }
  }

  template <class Visitor>
  void Enter(const Tavrix& container, std::int32_t level, Visitor& visitor) {
    // The first frame stands for the container the walk started on, at whatever level it was
    // last entered.
    if (&container == &root_ && !frames_.empty()) frames_.front().level = level;
    frames_.push_back(Frame{&container, 0, ElementCount(container), level});
    visitor.Open(container, level);
  }

  template <class Visitor>
  void Leave(Visitor& visitor) {
    const Frame frame = frames_.back();
    frames_.pop_back();
    visitor.Close(*frame.container, frame.level);
    if (!frames_.empty()) path_.RemoveLast();
  }

  // Whether the visitor reads the text of an object to write the key of this element: that runs
  // the object's default member, a caller's code that may change or release the tree.
  static bool KeyCallsOut(const Tavrix& container, std::int32_t position) noexcept {
    const Collection* keys = detail::access::keys(container);
    return keys != nullptr && keys->At(position).IsObject();
  }

  // Keeps every container on the path alive until the walk ends, and notes its state.
  void GuardPath() {
    guarded_.clear();
    for (const Frame& frame : frames_) {
      guarded_.push_back(
          Guarded{frame.container->shared_from_this(), detail::access::generation(*frame.container)});
    }
  }

  // Raises 10 when a container on the path changed since GuardPath: the walk stops before it
  // reads anything of it again.
  void RequirePathUnchanged() const {
    for (const Guarded& guarded : guarded_) {
      const auto& container = static_cast<const Tavrix&>(*guarded.container);
      if (detail::access::generation(container) != guarded.generation) {
        RaiseRuntimeError(err::kArrayLocked, "the tree was changed by the default member of an object");
      }
    }
  }

  // The container `value` holds when the walk enters it: a container not on the path.
  const Tavrix* NestedIn(const Variant& value) const noexcept {
    if (!value.IsObject()) return nullptr;
    const Object* object = value.AsObject().get();
    // Tavrix is final: comparing the dynamic type is exact, and cheaper than a dynamic_cast.
    if (object == nullptr || typeid(*object) != typeid(Tavrix)) return nullptr;
    const auto* container = static_cast<const Tavrix*>(object);
    return path_.Contains(container) ? nullptr : container;
  }

  static std::int32_t ElementCount(const Tavrix& container) noexcept {
    switch (KindOf(container)) {
      case KindNil:
        return 0;
      case KindVariant:
        return 1;
      default:
        return detail::access::values(container).Count();
    }
  }

  static const Variant& ElementAt(const Tavrix& container, std::int32_t position) {
    return detail::access::values(container).At(position);
  }

  // Asks for the object of the next element while this one is visited: the objects of a tree lie
  // far apart in memory, and entering one reads its kind and storage first.
  static void Prefetch(const Variant& next) noexcept {
    if (next.IsObject()) __builtin_prefetch(next.AsObject().get());
  }

  struct Guarded {
    std::shared_ptr<const Object> container;
    std::uint32_t generation;
  };

  const Tavrix& root_;
  std::vector<Frame> frames_;
  WalkPath path_;
  std::vector<Guarded> guarded_;  // kept until the walk ends, past the error it may raise
};

}  // namespace quenlo
