// The runtime's comparison of two values, and reading an object through its default member.
#include <compare>
#include <cstring>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "runtime/number_compare.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

constexpr int kMaxDefaultMemberSteps = 64;

// A plain value as comparison sees it: a text, an exact number or a binary floating-point
// number. Empty is both "" and 0.
struct Operand {
  enum class Kind { kEmpty, kText, kExact, kFloating } kind;
  std::string_view text;
  ExactNumber exact;
  double floating = 0;
};

Operand OperandOf(const Variant& value) {
  if (value.IsEmpty()) return Operand{Operand::Kind::kEmpty, {}, {}, 0};
  if (value.Type() == vbString) return Operand{Operand::Kind::kText, value.AsString(), {}, 0};
  if (const auto exact = ExactOf(value)) return Operand{Operand::Kind::kExact, {}, *exact, 0};
  if (const auto floating = FloatingOf(value)) return Operand{Operand::Kind::kFloating, {}, {}, *floating};
  RaiseRuntimeError(err::kTypeMismatch);  // Error values
}

std::partial_ordering CompareNumbers(const Operand& a, const Operand& b) noexcept {
  using Kind = Operand::Kind;
  if (a.kind == Kind::kFloating && b.kind == Kind::kFloating) return a.floating <=> b.floating;
  if (a.kind == Kind::kFloating) return CompareDoubleWithExact(a.floating, b.exact);
  if (b.kind == Kind::kFloating) return 0 <=> CompareDoubleWithExact(b.floating, a.exact);
  return CompareExact(a.exact, b.exact);
}

// Empty takes the kind of the other side; unordered for a NaN.
std::partial_ordering ComparePlain(const Variant& left, const Variant& right) {
  using Kind = Operand::Kind;
  Operand a = OperandOf(left);
  Operand b = OperandOf(right);
  if (a.kind == Kind::kEmpty && b.kind == Kind::kEmpty) return std::partial_ordering::equivalent;
  if (a.kind == Kind::kEmpty) a.kind = b.kind == Kind::kText ? Kind::kText : Kind::kExact;
  if (b.kind == Kind::kEmpty) b.kind = a.kind == Kind::kText ? Kind::kText : Kind::kExact;
  // char_traits<char> compares as unsigned bytes; a number is less than any text.
  if (a.kind == Kind::kText && b.kind == Kind::kText) return a.text.compare(b.text) <=> 0;
  if (a.kind == Kind::kText) return std::partial_ordering::greater;
  if (b.kind == Kind::kText) return std::partial_ordering::less;
  return CompareNumbers(a, b);
}

// The order of two values; nothing when a side is Null. Two objects are equal only when they
// are the same object (for_equality), else they are read through their default members.
std::optional<std::partial_ordering> Order(const Variant& a, const Variant& b, bool for_equality) {
  if (a.IsArray() || b.IsArray()) RaiseRuntimeError(err::kTypeMismatch);
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  if (a.IsObject() && b.IsObject() && for_equality) {
    return a.AsObject() == b.AsObject() ? std::partial_ordering::equivalent
                                        : std::partial_ordering::unordered;
  }
  if (a.IsObject() || b.IsObject()) return Order(DefaultValue(a), DefaultValue(b), for_equality);
  return ComparePlain(a, b);
}

}  // namespace

std::optional<bool> CompareEqual(const Variant& a, const Variant& b) {
  const auto order = Order(a, b, true);
  if (!order) return std::nullopt;
  return *order == 0;
}

std::optional<bool> CompareLess(const Variant& a, const Variant& b) {
  const auto order = Order(a, b, false);
  if (!order) return std::nullopt;
  return *order < 0;
}

std::optional<bool> CompareLessEqual(const Variant& a, const Variant& b) {
  const auto order = Order(a, b, false);
  if (!order) return std::nullopt;
  return *order <= 0;
}

bool operator==(const Variant& a, const Variant& b) noexcept {
  if (a.IsArray() || b.IsArray()) return false;
  try {
    return CompareEqual(a, b).value_or(false);
  } catch (...) {  // an object without a readable default member equals nothing
    return false;
  }
}

// A caller's default member may run out of memory too.
Variant DefaultValue(const Variant& value) {
  if (!value.IsObject()) return value;
  return TranslateErrors([&value] {
    Variant current = value;
    for (int step = 0; step < kMaxDefaultMemberSteps; ++step) {
      const std::shared_ptr<Object>& object = current.AsObject();
      if (!object) RaiseRuntimeError(err::kObjectNotSet);
      if (!object->HasDefaultMember()) RaiseRuntimeError(err::kNotSupported);
      Variant next = object->DefaultMember();
      if (!next.IsObject()) return next;
      current = std::move(next);
    }
    // An object whose default member leads back to objects without end.
    RaiseRuntimeError(err::kOutOfStackSpace);
  });
}

}  // namespace quenlo
