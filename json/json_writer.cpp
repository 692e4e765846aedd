// Writing the JSON text of a tree straight into one string, without building JSON values first.
// The text is the one nlohmann's dump gives those values: the same layout, numbers and escapes.
#include <simdjson.h>

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "core/tree_walk.hpp"
#include "json/json_walk.hpp"
#include "quenlo/json.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

using nlohmann::ordered_json;

// What a byte of a string needs in JSON text.
enum ByteNeed : std::uint8_t { kCopied, kEscaped, kBeyondAscii };

constexpr std::array<ByteNeed, 256> kByteNeeds = [] {
  std::array<ByteNeed, 256> needs{};
  for (std::size_t byte = 0; byte < 0x20; ++byte) needs[byte] = kEscaped;
  needs['"'] = needs['\\'] = kEscaped;
  for (std::size_t byte = 0x80; byte < 0x100; ++byte) needs[byte] = kBeyondAscii;
  return needs;
}();

ByteNeed NeedOf(char byte) {
  return kByteNeeds[static_cast<unsigned char>(byte)];
}

// The letter of the two-character escape of a byte, or 0 for a byte escaped by its code.
char EscapeLetterOf(char byte) {
  switch (byte) {
    case '\b':
      return 'b';
    case '\t':
      return 't';
    case '\n':
      return 'n';
    case '\f':
      return 'f';
    case '\r':
      return 'r';
    case '"':
      return '"';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

void AppendEscape(std::string& out, char byte) {
  if (const char letter = EscapeLetterOf(byte)) {
    const char escape[] = {'\\', letter};
    out.append(escape, sizeof escape);
    return;
  }
  constexpr std::string_view kHex = "0123456789abcdef";
  const auto code = static_cast<unsigned char>(byte);
  const char escape[] = {'\\', 'u', '0', '0', kHex[code >> 4], kHex[code & 0xF]};
  out.append(escape, sizeof escape);
}

// Appends `text` quoted, with its escapes. Returns false for text that is not valid UTF-8, having
// appended part of it.
bool AppendQuotedUtf8(std::string& out, std::string_view text) {
  out += '"';
  std::size_t copied = 0;  // the bytes before it are in `out`
  bool checked = false;    // whether the text is known to be valid UTF-8
  for (std::size_t at = 0; at < text.size(); ++at) {
    const ByteNeed need = NeedOf(text[at]);
    if (need == kCopied) continue;
    if (need == kBeyondAscii) {
      // The bytes before are ASCII: the text is valid when the rest is.
      if (!checked && !simdjson::validate_utf8(text.data() + at, text.size() - at)) return false;
      checked = true;
      continue;
    }
    out.append(text.data() + copied, at - copied);
    AppendEscape(out, text[at]);
    copied = at + 1;
  }
  out.append(text.data() + copied, text.size() - copied);
  out += '"';
  return true;
}

// Appends `text` quoted as nlohmann's dump writes it, which replaces what is not valid UTF-8.
void AppendQuoted(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  if (AppendQuotedUtf8(out, text)) return;
  out.resize(start);
  out += ordered_json(text).dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

// Writes JSON text as the walk meets a tree's containers and elements. Only an object and an
// array are written with brackets: a Variant-kind container is its value, a Nil null.
class JsonTextWriter {
 public:
  // Pretty for an indent of 0 or more (each element on a line of its own), compact for less.
  explicit JsonTextWriter(int indent) : pretty_(indent >= 0), indent_(pretty_ ? indent : 0) {}

  std::string Take() { return std::move(out_); }

  void Open(const Tavrix& container) {
    const TavrixKind kind = TreeWalk::KindOf(container);
    if (kind == KindVariant) return;
    if (kind == KindNil) return Null();
    if (out_.empty()) ReserveFor(container);
    out_ += kind == KindMap ? '{' : '[';
    ++depth_;
  }

  void Element(const Tavrix& container, std::int32_t position) {
    const TavrixKind kind = TreeWalk::KindOf(container);
    if (kind == KindVariant) return;
    if (position > 1) out_ += ',';
    if (pretty_) {
      out_ += '\n';
      AppendIndent(depth_);
    }
    if (kind == KindMap) AppendKey(container, position);
  }

  void Close(const Tavrix& container, bool empty) {
    const TavrixKind kind = TreeWalk::KindOf(container);
    if (kind == KindVariant || kind == KindNil) return;
    --depth_;
    if (pretty_ && !empty) {
      out_ += '\n';
      AppendIndent(depth_);
    }
    out_ += kind == KindMap ? '}' : ']';
  }

  void Null() { out_.append("null", 4); }

  template <class Number>
  void Integer(Number number) {
    char digits[24];
    out_.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
  }

  void Boolean(bool boolean) {
    if (boolean) {
      out_.append("true", 4);
    } else {
      out_.append("false", 5);
    }
  }

  // The shortest text that reads back as `number`, as dump writes it ("1.0", "-0.0", "1e+100").
  void Number(double number) {
    char digits[64];
    out_.append(digits, nlohmann::detail::to_chars(digits, digits + sizeof digits, number));
  }

  void String(std::string_view text) { AppendQuoted(out_, text); }

 private:
  // Makes room once for the text of the outermost container, from a guess on the high side: a
  // string grown by doubling copies itself each time, while room never written costs no memory
  // in a large allocation. Room that cannot be had is not needed yet: the text grows as it can.
  void ReserveFor(const Tavrix& outermost) {
    constexpr std::size_t kGuessedBytesPerElement = 24;
    try {
      out_.reserve(static_cast<std::size_t>(outermost.Length()) * kGuessedBytesPerElement);
    } catch (const std::bad_alloc&) {
    }
  }

  void AppendIndent(int levels) {
    const auto width = static_cast<std::size_t>(levels) * static_cast<std::size_t>(indent_);
    if (spaces_.size() < width) spaces_.resize(2 * width, ' ');
    out_.append(spaces_, 0, width);
  }

  // The key of a Map's element, quoted, and the colon after it. The key is written in place and
  // only written again when it needs escapes.
  void AppendKey(const Tavrix& map, std::int32_t position) {
    out_ += '"';
    const std::size_t start = out_.size();
    TreeWalk::AppendKeyText(out_, map, position);
    if (NeedsNoEscape(std::string_view(out_).substr(start))) {
      out_.append("\": ", pretty_ ? 3 : 2);
      return;
    }
    const std::string key = out_.substr(start);
    out_.resize(start - 1);
    AppendQuoted(out_, key);
    out_.append(": ", pretty_ ? 2 : 1);
  }

  static bool NeedsNoEscape(std::string_view text) {
    for (const char byte : text) {
      if (NeedOf(byte) != kCopied) return false;
    }
    return true;
  }

  const bool pretty_;
  const int indent_;
  int depth_ = 0;  // of the objects and arrays open
  std::string out_;
  std::string spaces_;
};

}  // namespace

std::string TreeToJsonText(const Tavrix& tree, int indent) {
  return TranslateErrors([&] {
    JsonTextWriter writer(indent);
    WalkForJson(tree, writer);
    return writer.Take();
  });
}

}  // namespace quenlo
