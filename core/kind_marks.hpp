// The marks of the object string's bodies, one table for the reader, the writer and the dump,
// and the nesting limit they all keep.
#pragma once

#include <array>
#include <string_view>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// A kind whose body is bracketed, with its opening and closing marks.
struct KindMarks {
  TavrixKind kind;
  std::string_view opening;
  std::string_view closing;
};

/// Every bracketed kind. A bounded Array is written with the marks of an unbounded one, and a
/// "[" reads as an unbounded Array; Variant and Nil bodies have no marks. The Queue closes with
/// the acute accent U+00B4.
inline constexpr std::array<KindMarks, 6> kKindMarks = {{
    {KindMap, "{", "}"},
    {KindUnboundedArray, "[", "]"},
    {KindBoundedArray, "[", "]"},
    {KindSet, "(", ")"},
    {KindStack, "<", ">"},
    {KindQueue, "`", "\u00B4"},
}};

/// The mark that opens the body of a kind; "" for Variant and Nil.
constexpr std::string_view OpeningMark(TavrixKind kind) noexcept {
  for (const KindMarks& marks : kKindMarks) {
    if (marks.kind == kind) return marks.opening;
  }
  return "";
}

/// The mark that closes the body of a kind; "" for Variant and Nil.
constexpr std::string_view ClosingMark(TavrixKind kind) noexcept {
  for (const KindMarks& marks : kKindMarks) {
    if (marks.kind == kind) return marks.closing;
  }
  return "";
}

/// The closing mark of an opening mark; "" for anything else.
constexpr std::string_view GetCloseBracket(std::string_view opening) noexcept {
  for (const KindMarks& marks : kKindMarks) {
    if (marks.opening == opening) return marks.closing;
  }
  return "";
}

/// The kind an opening mark reads as; Variant for a text that opens nothing.
constexpr TavrixKind KindOfOpening(std::string_view opening) noexcept {
  for (const KindMarks& marks : kKindMarks) {
    if (marks.opening == opening) return marks.kind;
  }
  return KindVariant;
}

/// Trees nested deeper than this are refused with Out of stack space (28).
inline constexpr int kMaxNestingDepth = 1024;

}  // namespace quenlo
