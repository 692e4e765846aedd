// The marks of the object string's bodies, one table for the reader, the writer and the dump,
// and the nesting limit they all keep.
#pragma once

#include <array>
#include <cstdint>
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

/// A pair of marks, as the index in kKindMarks of the first kind written with them; kNoBracket
/// for a text that is no mark. The reader matches marks by bracket.
using Bracket = std::uint8_t;
inline constexpr Bracket kNoBracket = 0xFF;
inline constexpr std::size_t kBracketCount = kKindMarks.size();

/// The bracket a mark opens (`opening`) or closes, or kNoBracket.
constexpr Bracket BracketOf(std::string_view mark, bool opening) noexcept {
  for (std::size_t entry = 0; entry < kKindMarks.size(); ++entry) {
    if ((opening ? kKindMarks[entry].opening : kKindMarks[entry].closing) == mark)
      return static_cast<Bracket>(entry);
  }
  return kNoBracket;
}

namespace detail {
constexpr std::array<Bracket, 256> OneByteBrackets(bool opening) {
  std::array<Bracket, 256> brackets{};
  for (std::size_t byte = 0; byte < brackets.size(); ++byte) {
    const char mark = static_cast<char>(byte);
    brackets[byte] = BracketOf(std::string_view(&mark, 1), opening);
  }
  return brackets;
}
}  // namespace detail

/// The bracket each one-byte mark opens, and closes, looked up by the byte.
inline constexpr std::array<Bracket, 256> kBracketOpenedBy = detail::OneByteBrackets(true);
inline constexpr std::array<Bracket, 256> kBracketClosedBy = detail::OneByteBrackets(false);

/// Trees nested deeper than this are refused with Out of stack space (28).
inline constexpr int kMaxNestingDepth = 1024;

}  // namespace quenlo
