// The object string reader. The text is split into tokens once, and the matching closing mark
// of every opening mark is found in the same pass; every nesting level then walks its own
// stretch of that one token list, so reading costs O(n) in the text whatever the depth.
//
// A nested container reads as if its tokens had been joined without spaces and split again:
// two runs of ordinary characters are never side by side in a token list, so that text splits
// back into the same tokens except that the empty ones (runs of spaces) are gone. A nested
// level therefore walks the enclosing list and steps over empty tokens.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/kind_marks.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"
#include "serial/object_string_format.hpp"

namespace quenlo {
namespace {

// The five kinds of bracket: an opening mark and its closing mark.
enum class Bracket : std::uint8_t { kSquare, kCurly, kAccent, kRound, kAngle, kNone };
inline constexpr std::size_t kBracketKinds = 5;

// What one byte of the text is to the tokenizer.
enum class ByteClass : std::uint8_t { kOrdinary, kDelimiter, kMaybeAcute };

constexpr std::array<ByteClass, 256> MakeByteClasses() {
  std::array<ByteClass, 256> classes{};
  for (const char delimiter : std::string_view("[]{}()<>,:`")) {
    classes[static_cast<unsigned char>(delimiter)] = ByteClass::kDelimiter;
  }
  classes[0xC2] = ByteClass::kMaybeAcute;  // C2 B4 is the acute accent
  return classes;
}
constexpr std::array<ByteClass, 256> kByteClasses = MakeByteClasses();

// One token, eight bytes: where it starts in the text and, for a run of ordinary characters,
// its size; for a delimiter, kDelimiterBit and the index of its closing mark when it is an
// opening mark that has one (else kNoMatch). A run has no leading or trailing spaces and may be
// empty; a delimiter is one character, the acute accent being its only two-byte one.
struct Token {
  std::uint32_t offset;
  std::uint32_t info;
};
constexpr std::uint32_t kDelimiterBit = 0x8000'0000u;
constexpr std::uint32_t kNoMatch = 0x7FFF'FFFFu;

// The token list of a text, with the closing mark of every opening mark that has one. An
// opening mark's closing mark is the first one after it at which the marks of its own kind
// balance, whatever the marks of other kinds do.
class TokenList {
 public:
  explicit TokenList(std::string_view text) : text_(text) {
    if (text.size() >= kNoMatch) RaiseRuntimeError(err::kOutOfMemory);
    Split();
  }

  std::size_t Count() const noexcept { return tokens_.size(); }
  bool IsDelimiter(std::size_t index) const noexcept { return (tokens_[index].info & kDelimiterBit) != 0; }
  std::string_view Text(std::size_t index) const noexcept {
    const Token token = tokens_[index];
    if ((token.info & kDelimiterBit) == 0) return text_.substr(token.offset, token.info);
    return text_.substr(token.offset, static_cast<unsigned char>(text_[token.offset]) == 0xC2 ? 2 : 1);
  }
  bool IsEmpty(std::size_t index) const noexcept { return tokens_[index].info == 0; }
  bool IsDelimiter(std::size_t index, char delimiter) const noexcept {
    return IsDelimiter(index) && text_[tokens_[index].offset] == delimiter;
  }
  bool IsHeader(std::size_t index) const noexcept { return !IsDelimiter(index) && Text(index) == kHeader; }
  // The index of the closing mark of an opening mark, or kNoMatch.
  std::size_t MatchOf(std::size_t index) const noexcept { return tokens_[index].info & ~kDelimiterBit; }

  // The bracket an opening mark token opens, or kNone.
  Bracket OpeningOf(std::size_t index) const noexcept {
    return IsDelimiter(index) ? OpeningBracket(text_[tokens_[index].offset]) : Bracket::kNone;
  }

  static Bracket OpeningBracket(char mark) noexcept {
    switch (mark) {
      case '[':
        return Bracket::kSquare;
      case '{':
        return Bracket::kCurly;
      case '`':
        return Bracket::kAccent;
      case '(':
        return Bracket::kRound;
      case '<':
        return Bracket::kAngle;
      default:
        return Bracket::kNone;
    }
  }

 private:
  static Bracket ClosingBracket(std::string_view mark) noexcept {
    if (mark.size() == 2) return Bracket::kAccent;  // the only two-byte delimiter
    switch (mark[0]) {
      case ']':
        return Bracket::kSquare;
      case '}':
        return Bracket::kCurly;
      case ')':
        return Bracket::kRound;
      case '>':
        return Bracket::kAngle;
      default:
        return Bracket::kNone;
    }
  }

  void Split() {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
    const std::size_t size = text_.size();
    tokens_.reserve(size / 4 + 4);
    std::size_t run_start = 0;
    std::size_t at = 0;
    while (at < size) {
      const ByteClass byte_class = kByteClasses[bytes[at]];
      if (byte_class == ByteClass::kOrdinary ||
          (byte_class == ByteClass::kMaybeAcute && (at + 1 == size || bytes[at + 1] != 0xB4))) {
        ++at;
        continue;
      }
      const std::size_t width = byte_class == ByteClass::kMaybeAcute ? 2 : 1;
      if (at > run_start) AddRun(run_start, at);
      AddDelimiter(at, width);
      at += width;
      run_start = at;
    }
    if (size > run_start) AddRun(run_start, size);
  }

  void AddRun(std::size_t begin, std::size_t end) {
    while (begin < end && text_[begin] == ' ') ++begin;
    while (end > begin && text_[end - 1] == ' ') --end;
    tokens_.push_back(Token{static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin)});
  }

  void AddDelimiter(std::size_t at, std::size_t width) {
    const auto index = static_cast<std::uint32_t>(tokens_.size());
    tokens_.push_back(Token{static_cast<std::uint32_t>(at), kDelimiterBit | kNoMatch});
    const std::string_view mark = text_.substr(at, width);
    if (const Bracket opening = width == 1 ? OpeningBracket(mark[0]) : Bracket::kNone;
        opening != Bracket::kNone) {
      open_[static_cast<std::size_t>(opening)].push_back(index);
    } else if (const Bracket closing = ClosingBracket(mark); closing != Bracket::kNone) {
      auto& open = open_[static_cast<std::size_t>(closing)];
      if (!open.empty()) {
        tokens_[open.back()].info = kDelimiterBit | index;
        open.pop_back();
      }
    }
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  std::array<std::vector<std::uint32_t>, kBracketKinds> open_;  // opening marks not matched yet
};

TavrixKind KindOfOpening(char mark) noexcept {
  switch (mark) {
    case '{':
      return KindMap;
    case '[':
      return KindUnboundedArray;
    case '`':
      return KindQueue;
    case '(':
      return KindSet;
    default:
      return KindStack;
  }
}

// A tag of up to five plain digits, read without the general conversion (the common case; the
// result is the one IntegerFromText gives).
std::int16_t TagFromText(std::string_view tag) {
  if (!tag.empty() && tag.size() <= 5) {
    int value = 0;
    for (const char digit : tag) {
      if (digit < '0' || digit > '9') return IntegerFromText(tag);
      value = value * 10 + (digit - '0');
    }
    if (value <= std::numeric_limits<std::int16_t>::max()) return static_cast<std::int16_t>(value);
  }
  return IntegerFromText(tag);
}

// The value of an element text: a first character that is never examined, the tag, a
// backslash, and the value text, converted by the tag.
Variant DecodeElement(std::string_view text) {
  const std::size_t first =
      !text.empty() && static_cast<unsigned char>(text[0]) < 0x80 ? 1 : FirstCharacterSize(text);
  // A tag is a few digits: a plain loop finds its end sooner than a library search.
  std::size_t tag_end = first;
  while (tag_end < text.size() && text[tag_end] != '\\') ++tag_end;
  if (tag_end == text.size()) RaiseRuntimeError(err::kInvalidProcedureCall);
  const std::int16_t tag = TagFromText(text.substr(first, tag_end - first));
  const std::string_view value = text.substr(tag_end + 1);
  switch (tag) {
    case vbInteger:
      return Variant::Integer(IntegerFromText(value));
    case vbLong:
      return Variant::Long(LongFromText(value));
    case vbSingle:
      return Variant::Single(SingleFromText(value));
    case vbDouble:
      return Variant::Double(DoubleFromText(value));
    case vbCurrency:
      return Variant(CurrencyFromText(value));
    case vbDate:
      return Variant(DateFromText(value));
    case vbObject:
      return Variant(IdentityRegistry::Resolve(LongFromText(value)));
    case vbBoolean:
      return Variant::Boolean(BooleanFromText(value));
    case vbDecimal:
      return Variant(DecimalFromText(value));
    case vbByte:
      return Variant::Byte(ByteFromText(value));
    default:  // String, and every tag without a conversion of its own
      return Variant::String(value);
  }
}

}  // namespace

class ObjectStringReader {
 public:
  // Reads a whole object string at nesting depth `depth` into a new container.
  static TavrixPtr ReadText(std::string_view text, int depth) {
    const std::size_t header_end = text.find('\\', FirstCharacterSize(text));
    const std::size_t body = header_end == std::string_view::npos ? 0 : header_end + 1;
    const char mark = body < text.size() ? text[body] : '\0';
    if (TokenList::OpeningBracket(mark) != Bracket::kNone) {
      const TokenList tokens(text);
      // The first two tokens are taken to be the header and the opening mark, and are not read.
      return ObjectStringReader(tokens, depth).ReadBody(mark, 2, tokens.Count(), false);
    }
    TavrixPtr result = Tavrix::Create();
    if (text.substr(body) == "nil") {
      result->kind_ = KindNil;
      result->values_.reset();
      return result;
    }
    // The one value of a Variant-kind container: the whole rest of the text, not split.
    result->values_->Append(DecodeElement(text.substr(body)));
    return result;
  }

  // Makes `target` what Become would make it with the container read.
  static void MoveInto(Tavrix& target, Tavrix& read) noexcept {
    target.values_ = std::move(read.values_);
    target.keys_ = std::move(read.keys_);
    target.kind_ = read.kind_;
    target.bound_ = read.bound_;
  }

 private:
  ObjectStringReader(const TokenList& tokens, int depth) noexcept : tokens_(tokens), depth_(depth) {}

  // The level being walked: its tokens end before `end`. A nested level steps over empty tokens.
  struct Level {
    std::size_t end;
    bool nested;
  };

  TavrixPtr ReadBody(char mark, std::size_t begin, std::size_t end, bool nested) {
    const Level level{end, nested};
    if (mark == '{') return ReadMap(level, Skip(level, begin));
    return ReadSequence(level, Skip(level, begin), mark);
  }

  // Entries "key: value": the value stands two tokens after its key, and the token between is
  // not read. Separators and "}" are passed over wherever they stand.
  TavrixPtr ReadMap(const Level& level, std::size_t at) {
    TavrixPtr result = Tavrix::Create();
    result->kind_ = KindMap;
    Collection& values = *result->values_;
    Collection& keys = result->keys_.emplace();
    const std::int32_t expected = ExpectedCount(level, at);
    values.Reserve(expected);
    keys.Reserve(expected);
    while (at < level.end) {
      if (tokens_.IsDelimiter(at, ':') || tokens_.IsDelimiter(at, ',') || tokens_.IsDelimiter(at, '}')) {
        at = Next(level, at);
        continue;
      }
      // The entry is placed before its value is read, so that a key given twice fails before
      // anything of its value does. Keys pair with values by position and need no key texts.
      const std::string_view key = tokens_.Text(at);
      values.Append(Variant(), key);
      keys.Append(Variant::String(key));
      at = Next(level, Next(level, at));
      values.At(values.Count()) = ReadElement(level, at);
      at = Next(level, at);
    }
    return result;
  }

  // Elements in text order; "," and the closing mark are passed over wherever they stand.
  TavrixPtr ReadSequence(const Level& level, std::size_t at, char mark) {
    TavrixPtr result = Tavrix::Create();
    result->kind_ = KindOfOpening(mark);
    result->bound_ = result->kind_ == KindUnboundedArray ? -1 : 0;
    Collection& values = *result->values_;
    values.Reserve(ExpectedCount(level, at));
    const std::string_view close = GetCloseBracket(std::string_view(&mark, 1));
    while (at < level.end) {
      if (tokens_.IsDelimiter(at, ',') || (tokens_.IsDelimiter(at) && tokens_.Text(at) == close)) {
        at = Next(level, at);
        continue;
      }
      values.Append(ReadElement(level, at));
      at = Next(level, at);
    }
    return result;
  }

  // The element at `at`: a nested container after a header token (`at` is left on its closing
  // mark), else a scalar element.
  Variant ReadElement(const Level& level, std::size_t& at) {
    RequireToken(level, at);
    if (!tokens_.IsHeader(at)) return DecodeElement(tokens_.Text(at));
    at = Next(level, at);
    return ReadNested(level, at);
  }

  Variant ReadNested(const Level& level, std::size_t& at) {
    RequireToken(level, at);
    if (depth_ >= kMaxNestingDepth) RaiseRuntimeError(err::kOutOfStackSpace);
    const Bracket opening = tokens_.OpeningOf(at);
    const std::size_t close = opening == Bracket::kNone ? FindEmptyClose(level, at) : tokens_.MatchOf(at);
    // A closing mark that is missing, or that lies beyond this level, is not there.
    if (close == kNoMatch || close >= level.end) RaiseRuntimeError(err::kSubscriptOutOfRange);
    TavrixPtr child =
        opening == Bracket::kNone
            ? ReadText(JoinedText(at, close), depth_ + 1)
            : ObjectStringReader(tokens_, depth_ + 1).ReadBody(tokens_.Text(at)[0], at + 1, close + 1, true);
    at = close;
    return Variant(std::move(child));
  }

  // How many elements the level holds when it is written as the writer writes: one more than its
  // separators, leaving out those of nested containers. Only a hint for the collections' room.
  std::int32_t ExpectedCount(const Level& level, std::size_t at) const noexcept {
    if (at + 1 >= level.end) return 0;  // nothing, or only the closing mark
    std::int32_t separators = 0;
    for (; at < level.end; ++at) {
      if (tokens_.IsDelimiter(at, ',')) {
        ++separators;
      } else if (tokens_.OpeningOf(at) != Bracket::kNone && tokens_.MatchOf(at) < level.end) {
        at = tokens_.MatchOf(at);
      }
    }
    return separators + 1;
  }

  // A header followed by a token that opens nothing: its "closing mark" is the empty text, so
  // the nested text runs to the first empty token at which the empty tokens outnumber the
  // copies of that token. Only the top level has empty tokens; a nested level finds none.
  std::size_t FindEmptyClose(const Level& level, std::size_t at) const {
    if (level.nested) return kNoMatch;
    const std::string_view mark = tokens_.Text(at);
    std::size_t depth = 0;
    for (std::size_t index = at; index < level.end; ++index) {
      if (tokens_.Text(index) == mark) {
        ++depth;
      } else if (tokens_.IsEmpty(index) && --depth == 0) {
        return index;
      }
    }
    return kNoMatch;
  }

  // The header followed by the tokens from `first` to `last`, with nothing between them.
  std::string JoinedText(std::size_t first, std::size_t last) const {
    std::string text(kHeader);
    for (std::size_t index = first; index <= last; ++index) text += tokens_.Text(index);
    return text;
  }

  // A token read past the end of the level is a missing position.
  static void RequireToken(const Level& level, std::size_t at) {
    if (at >= level.end) RaiseRuntimeError(err::kSubscriptOutOfRange);
  }

  std::size_t Skip(const Level& level, std::size_t at) const noexcept {
    return level.nested && at < level.end && tokens_.IsEmpty(at) ? at + 1 : at;
  }
  // Empty tokens never stand side by side, so one step over one is enough.
  std::size_t Next(const Level& level, std::size_t at) const noexcept { return Skip(level, at + 1); }

  const TokenList& tokens_;
  int depth_;
};

void Tavrix::SetObjectString(std::string_view str) {
  TranslateErrors([&] { ObjectStringReader::MoveInto(*this, *ObjectStringReader::ReadText(str, 0)); });
}

}  // namespace quenlo
