// Characters: the one place that knows which UTF-8 byte sequences are valid, and how ASCII
// letters compare without regard to case.
#pragma once

#include <cstddef>
#include <string_view>

namespace quenlo {

// The first character of a UTF-8 text. An invalid sequence (overlong, a surrogate, above
// U+10FFFF, cut short) is one byte long and has no code point.
struct Utf8Character {
  std::size_t size;
  bool valid;
  char32_t code_point;
};

// Decodes the first character of a text that is not empty.
inline Utf8Character DecodeUtf8(std::string_view text) noexcept {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {1, true, lead};
  std::size_t size = 0;
  char32_t code_point = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2, code_point = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3, code_point = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4, code_point = lead & 0x07u, minimum = 0x10000;
  } else {
    return {1, false, 0};
  }
  if (size > text.size()) return {1, false, 0};
  for (std::size_t index = 1; index < size; ++index) {
    const auto next = static_cast<unsigned char>(text[index]);
    if ((next & 0xC0) != 0x80) return {1, false, 0};
    code_point = (code_point << 6) | (next & 0x3Fu);
  }
  if (code_point < minimum || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return {1, false, 0};
  }
  return {size, true, code_point};
}

// Whether two texts are equal when ASCII letters compare without regard to case.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace quenlo
