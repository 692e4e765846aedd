// The walk that the object-string writer and the dump share over a container tree, and the
// bracket table both use.
#pragma once

#include <cstdint>
#include <string_view>
#include <typeinfo>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {

/// The closing mark of an opening mark; "" for anything else.
constexpr std::string_view GetCloseBracket(std::string_view opening) noexcept {
  if (opening == "[") return "]";
  if (opening == "{") return "}";
  if (opening == "`") return "\u00B4";
  if (opening == "(") return ")";
  if (opening == "<") return ">";
  return "";
}

/// The mark that opens the body of a kind: "{" Map, "[" arrays, "(" Set, "<" Stack, "`" Queue;
/// "" for Variant and Nil, whose bodies have no brackets.
constexpr std::string_view OpeningMark(TavrixKind kind) noexcept {
  switch (kind) {
    case KindMap:
      return "{";
    case KindBoundedArray:
    case KindUnboundedArray:
      return "[";
    case KindSet:
      return "(";
    case KindStack:
      return "<";
    case KindQueue:
      return "`";
    case KindVariant:
    case KindNil:
      break;
  }
  return "";
}

/// Trees nested deeper than this are refused with Out of stack space (28).
inline constexpr int kMaxNestingDepth = 1024;

/// Walks a container tree for the writer and the dump. A nested container is entered with its
/// Level set to its parent's plus 1 and its VisitCount raised while the walk is inside it; a
/// container met while its VisitCount is above 0 is already on the walk's path and is shown as
/// an object reference instead, which cuts cycles. The container a walk starts on is not
/// marked, so a container that holds itself is entered once more before the cycle is cut.
class TreeWalk {
 public:
  /// What a stored value is to the walk.
  enum class Form { kScalar, kNested, kReference };

  /// A nested container not yet on the path is entered; any other object, nothing included,
  /// is a reference; everything else is a scalar.
  static Form FormOf(const Variant& value) noexcept {
    if (!value.IsObject()) return Form::kScalar;
    const Object* object = value.AsObject().get();
    // Tavrix is final: comparing the dynamic type is exact, and cheaper than a dynamic_cast.
    if (object == nullptr || typeid(*object) != typeid(Tavrix)) return Form::kReference;
    return static_cast<const Tavrix*>(object)->visit_count_ == 0 ? Form::kNested : Form::kReference;
  }

  /// The container a kNested value holds.
  static const Tavrix& NestedOf(const Variant& value) noexcept {
    return static_cast<const Tavrix&>(*value.AsObject());
  }

  /// Runs body(child) inside `child`, nested in `parent`. VisitCount is lowered again even when
  /// body throws. Raises 28 when the walk would go deeper than kMaxNestingDepth.
  template <class Body>
  static void EnterNested(const Tavrix& parent, const Tavrix& child, Body&& body) {
    DepthGuard depth;
    child.SetLevel(parent.level_ + 1);
    ++child.visit_count_;
    try {
      body(child);
    } catch (...) {
      --child.visit_count_;
      throw;
    }
    --child.visit_count_;
  }

  static std::int32_t LevelOf(const Tavrix& container) noexcept { return container.level_; }

 private:
  // Counts the nesting depth of the walks running on this thread.
  class DepthGuard {
   public:
    DepthGuard() {
      if (depth_ >= kMaxNestingDepth) RaiseRuntimeError(err::kOutOfStackSpace);
      ++depth_;
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    static inline thread_local int depth_ = 0;
  };
};

}  // namespace quenlo
