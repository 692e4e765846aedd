// The object string reader. The text is split into tokens once, and the matching closing mark
// of every opening mark is found in the same pass; every nesting level then walks its own
// stretch of that one token list, so reading costs O(n) in the text whatever the depth. The
// levels being read are frames on an explicit stack, so the depth of a text never reaches the
// call stack.
//
// A nested container reads as if its tokens had been joined without spaces and split again:
// two runs of ordinary characters are never side by side in a token list, so that text splits
// back into the same tokens except that the empty ones (runs of spaces) are gone. A nested
// level therefore walks the enclosing list and steps over empty tokens.
#include "serial/object_string_reader.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/access.hpp"
#include "core/kind_marks.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/date_text.hpp"
#include "runtime/keyed_filler.hpp"
#include "runtime/translate_errors.hpp"
#include "serial/object_string_format.hpp"

namespace quenlo {
namespace {

// The tokenizer looks at the text a chunk at a time. The bytes that may be marks are the one-byte
// delimiters and C2, the first byte of the acute accent C2 B4.
constexpr std::size_t kChunk = 16;
// The first stretch of a text, whose tokens size the token list of the whole (chunks in all).
constexpr std::size_t kSampleBytes = 4096 * kChunk;

#if defined(__SSE2__)
// The first `available` bytes (fewer than kChunk) of the last chunk, padded with zeros, which are
// no marks.
std::array<unsigned char, kChunk> PaddedChunk(const unsigned char* bytes, std::size_t available) noexcept {
  std::array<unsigned char, kChunk> padded{};
  std::copy_n(bytes, available, padded.begin());
  return padded;
}

// Bit i is set when byte i of the chunk may be a mark. Pairs of marks that differ in one bit are
// each found by one comparison, with that bit set first.
std::uint32_t MarkCandidates(const unsigned char* bytes, std::size_t available) noexcept {
  std::array<unsigned char, kChunk> padded;
  if (available < kChunk) {
    padded = PaddedChunk(bytes, available);
    bytes = padded.data();
  }
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const auto equal = [](__m128i value, unsigned char byte) {
    return _mm_cmpeq_epi8(value, _mm_set1_epi8(static_cast<char>(byte)));
  };
  const auto with_bit = [&](unsigned char bit) {
    return _mm_or_si128(chunk, _mm_set1_epi8(static_cast<char>(bit)));
  };
  const __m128i brackets = _mm_or_si128(equal(with_bit(0x20), '{'), equal(with_bit(0x20), '}'));  // [ { ] }
  const __m128i angles = _mm_or_si128(equal(with_bit(0x01), ')'), equal(with_bit(0x02), '>'));    // ( ) < >
  const __m128i others = _mm_or_si128(_mm_or_si128(equal(chunk, ','), equal(chunk, ':')),
                                      _mm_or_si128(equal(chunk, '`'), equal(chunk, 0xC2)));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(brackets, angles), others)));
}
#else
constexpr std::array<bool, 256> MakeMarkByteTable() {
  std::array<bool, 256> table{};
  for (const char mark : std::string_view("[]{}()<>,:`\xC2")) table[static_cast<unsigned char>(mark)] = true;
  return table;
}
constexpr std::array<bool, 256> kIsMarkByte = MakeMarkByteTable();

std::uint32_t MarkCandidates(const unsigned char* bytes, std::size_t available) noexcept {
  std::uint32_t marks = 0;
  for (std::size_t at = 0; at < std::min(available, kChunk); ++at) {
    marks |= static_cast<std::uint32_t>(kIsMarkByte[bytes[at]]) << at;
  }
  return marks;
}
#endif

// One token, eight bytes: where it starts in the text and, for a run of ordinary characters,
// its size; for a delimiter, kDelimiterBit and the index of its closing mark when it is an
// opening mark that has one (else kNoMatch), or for a closing mark that matched one the count
// of separators between them. A run has no leading or trailing spaces and may be
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
  std::size_t Offset(std::size_t index) const noexcept { return tokens_[index].offset; }
  std::string_view Whole() const noexcept { return text_; }
  bool IsDelimiter(std::size_t index, char delimiter) const noexcept {
    return IsDelimiter(index) && text_[tokens_[index].offset] == delimiter;
  }
  bool IsHeader(std::size_t index) const noexcept { return !IsDelimiter(index) && Text(index) == kHeader; }
  // The index of the closing mark of an opening mark, or kNoMatch.
  std::size_t MatchOf(std::size_t index) const noexcept { return tokens_[index].info & ~kDelimiterBit; }
  // The ',' marks between a closing mark and the opening mark it matched, those of nested marks
  // left out, counted as the text was split.
  std::size_t SeparatorsBefore(std::size_t closing) const noexcept {
    return tokens_[closing].info & ~kDelimiterBit;
  }

  // The bracket an opening mark token opens, or kNoBracket.
  Bracket OpeningOf(std::size_t index) const noexcept {
    return IsDelimiter(index) ? OpeningBracket(text_[tokens_[index].offset]) : kNoBracket;
  }

  static Bracket OpeningBracket(char mark) noexcept {
    return kBracketOpenedBy[static_cast<unsigned char>(mark)];
  }

 private:
  // The acute accent is the only two-byte mark.
  static Bracket ClosingBracket(std::string_view mark) noexcept {
    static constexpr Bracket kAcute = BracketOf(kAcuteAccent, false);
    return mark.size() == 2 ? kAcute : kBracketClosedBy[static_cast<unsigned char>(mark[0])];
  }

  // The token list is sized from the text's first stretch: how densely marks stand hardly changes
  // along a text, and a list of tens of millions of tokens grown by doubling is copied and touches
  // more memory than it keeps. A text denser further on still grows the list as it needs.
  void Split() {
    const std::size_t size = text_.size();
    const std::size_t sample = std::min(size, kSampleBytes);
    tokens_.reserve(sample / 4 + 4);
    std::size_t run_start = SplitStretch(0, sample, 0);
    if (sample < size) {
      tokens_.reserve(EstimatedCount(sample));
      run_start = SplitStretch(sample, size, run_start);
    }
    if (size > run_start) AddRun(run_start, size);
  }

  // The tokens the whole text is expected to hold, from those of its first `sample` bytes, and an
  // eighth more; never more than one for every two bytes of text, so that a guess made from a
  // dense beginning costs at most four bytes for each byte of text.
  std::size_t EstimatedCount(std::size_t sample) const noexcept {
    const std::size_t size = text_.size();
    const std::size_t extrapolated = tokens_.size() * size / sample;
    return std::min(extrapolated + extrapolated / 8, size / 2) + kChunk;
  }

  // Looks at the text from `begin` to `end` sixteen bytes at a time: only the bytes that may be
  // marks are visited one by one, and runs of ordinary characters between them are passed over
  // whole. The run of ordinary characters that began at `run_start` may go on past `end`: where
  // the run open at the end began is returned.
  std::size_t SplitStretch(std::size_t begin, std::size_t end, std::size_t run_start) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
    const std::size_t size = text_.size();
    for (std::size_t chunk = begin; chunk < end; chunk += kChunk) {
      for (std::uint32_t marks = MarkCandidates(bytes + chunk, size - chunk); marks != 0;
           marks &= marks - 1) {
        const std::size_t at = chunk + static_cast<std::size_t>(std::countr_zero(marks));
        std::size_t width = 1;
        if (bytes[at] == 0xC2) {
          if (at + 1 == size || bytes[at + 1] != 0xB4) continue;
          width = 2;
        }
        if (at > run_start) AddRun(run_start, at);
        AddDelimiter(at, width);
        run_start = at + width;
      }
    }
    return run_start;
  }

  void AddRun(std::size_t begin, std::size_t end) {
    while (begin < end && text_[begin] == ' ') ++begin;
    while (end > begin && text_[end - 1] == ' ') --end;
    tokens_.push_back(Token{static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin)});
  }

  // A ',' counts for the innermost open mark; a closing mark keeps the count of the opening mark
  // it matches.
  void AddDelimiter(std::size_t at, std::size_t width) {
    const auto index = static_cast<std::uint32_t>(tokens_.size());
    tokens_.push_back(Token{static_cast<std::uint32_t>(at), kDelimiterBit | kNoMatch});
    const std::string_view mark = text_.substr(at, width);
    if (mark[0] == ',') {
      if (!nesting_.empty()) ++nesting_.back().separators;
    } else if (const Bracket opening = width == 1 ? OpeningBracket(mark[0]) : kNoBracket;
               opening != kNoBracket) {
      open_[opening].push_back(index);
      nesting_.push_back(OpenMark{index, 0});
    } else if (const Bracket closing = ClosingBracket(mark); closing != kNoBracket) {
      auto& open = open_[closing];
      if (!open.empty()) {
        tokens_[open.back()].info = kDelimiterBit | index;
        tokens_[index].info = kDelimiterBit | SeparatorsOf(open.back());
        open.pop_back();
      }
    }
  }

  // The separators counted for the opening mark `opening`, now matched, which closes it and every
  // mark opened after it; 0 for a mark whose count went with a mark of another kind that closed
  // around it.
  std::uint32_t SeparatorsOf(std::uint32_t opening) {
    while (!nesting_.empty() && nesting_.back().index > opening) nesting_.pop_back();
    if (nesting_.empty() || nesting_.back().index != opening) return 0;
    const std::uint32_t separators = nesting_.back().separators;
    nesting_.pop_back();
    return separators;
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  std::array<std::vector<std::uint32_t>, kBracketCount> open_;  // opening marks not matched yet
  // Opening marks not matched yet, in text order, with the ',' counted since each (not within a
  // later one).
  struct OpenMark {
    std::uint32_t index;
    std::uint32_t separators;
  };
  std::vector<OpenMark> nesting_;
};

// A tag of up to five plain digits that fits an Integer: the common case, read without the
// general conversion (which gives the same result).
std::optional<std::int16_t> PlainTag(std::string_view tag) noexcept {
  if (tag.empty() || tag.size() > 5) return std::nullopt;
  int value = 0;
  for (const char digit : tag) {
    if (digit < '0' || digit > '9') return std::nullopt;
    value = value * 10 + (digit - '0');
  }
  if (value > std::numeric_limits<std::int16_t>::max()) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::int16_t TagFromText(std::string_view tag) {
  if (const std::optional<std::int16_t> plain = PlainTag(tag)) return *plain;
  return IntegerFromText(tag);
}

// Where the tag of an element text starts: after its first character, which is never examined.
std::size_t TagStart(std::string_view text) noexcept {
  return !text.empty() && static_cast<unsigned char>(text[0]) < 0x80 ? 1 : FirstCharacterSize(text);
}

// The tag and the value text of an element text.
struct TaggedText {
  std::int16_t tag;
  std::string_view value;
};

// Whether the value of an element with this tag is its text: a String, and every tag without a
// conversion of its own.
bool HoldsTextByTag(std::int16_t tag) noexcept {
  switch (tag) {
    case vbInteger:
    case vbLong:
    case vbSingle:
    case vbDouble:
    case vbCurrency:
    case vbDate:
    case vbObject:
    case vbBoolean:
    case vbDecimal:
    case vbByte:
      return false;
    default:
      return true;
  }
}

// The value text converted by the tag.
Variant ValueOfTag(const TaggedText& element) {
  const std::string_view value = element.value;
  switch (element.tag) {
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
    default:
      return Variant::String(value);
  }
}

// The end of the tag of an element text: its first backslash after the tag's start.
std::size_t TagEnd(std::string_view text, std::size_t first) noexcept {
  // A tag is a few digits: a plain loop finds its end sooner than a library search.
  std::size_t tag_end = first;
  while (tag_end < text.size() && text[tag_end] != '\\') ++tag_end;
  return tag_end;
}

// The value of an element text: a first character that is never examined, the tag, a
// backslash, and the value text, converted by the tag.
Variant DecodeElement(std::string_view text) {
  const std::size_t first = TagStart(text);
  const std::size_t tag_end = TagEnd(text, first);
  if (tag_end == text.size()) RaiseRuntimeError(err::kInvalidProcedureCall);
  return ValueOfTag({TagFromText(text.substr(first, tag_end - first)), text.substr(tag_end + 1)});
}

// An element text split without raising when its tag is plain digits (the common case); nothing
// for any other text, which DecodeElement reads or refuses.
[[gnu::always_inline]] inline std::optional<TaggedText> SplitPlainElement(std::string_view text) noexcept {
  const std::size_t first = TagStart(text);
  const std::size_t tag_end = TagEnd(text, first);
  if (tag_end == text.size()) return std::nullopt;
  const std::optional<std::int16_t> tag = PlainTag(text.substr(first, tag_end - first));
  if (!tag) return std::nullopt;
  return TaggedText{*tag, text.substr(tag_end + 1)};
}

std::optional<TaggedText> SplitTagged(std::string_view text) {
  const std::size_t first = TagStart(text);
  const std::size_t tag_end = text.find('\\', first);
  if (tag_end == std::string_view::npos) return std::nullopt;
  try {
    return TaggedText{TagFromText(text.substr(first, tag_end - first)), text.substr(tag_end + 1)};
  } catch (const Error&) {
    return std::nullopt;
  }
}

bool HasTag(std::string_view text) noexcept {
  return text.find('\\', TagStart(text)) != std::string_view::npos;
}

// "\" digits "\": what a header looks like, whatever its number.
bool LooksLikeHeader(std::string_view text) noexcept {
  if (text.size() < 3 || text.front() != '\\' || text.back() != '\\') return false;
  return text.substr(1, text.size() - 2).find_first_not_of("0123456789") == std::string_view::npos;
}

std::string_view WithoutSpaces(std::string_view text) noexcept {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// "NaN", "Infinity" and "-Infinity", which the writer writes for a Single or a Double that is
// not a finite number and which the number conversions refuse.
std::optional<Variant> NonFiniteValue(const TaggedText& element) {
  if (element.tag != vbSingle && element.tag != vbDouble) return std::nullopt;
  const std::string_view text = WithoutSpaces(element.value);
  double number = 0;
  if (text == "NaN") {
    number = std::numeric_limits<double>::quiet_NaN();
  } else if (text == "Infinity" || text == "-Infinity") {
    number =
        text[0] == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  } else {
    return std::nullopt;
  }
  return element.tag == vbSingle ? Variant::Single(static_cast<float>(number)) : Variant::Double(number);
}

// ---- What an error message shows ------------------------------------------------------------

// A text from the object string in double quotes: at most 40 bytes of it, cut between two
// characters, with control characters written as escapes so that a message keeps to one line.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::size_t shown = std::min(text.size(), kShown);
  while (shown > 0 && shown < text.size() && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) {
    --shown;  // not inside a character
  }
  std::string quoted = "\"";
  for (const char character : text.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(character);
    if (character == '\n') {
      quoted += "\\n";
    } else if (character == '\r') {
      quoted += "\\r";
    } else if (character == '\t') {
      quoted += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr std::string_view kHex = "0123456789ABCDEF";
      quoted.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
    } else {
      quoted += character;
    }
  }
  return quoted.append(shown < text.size() ? "...\"" : "\"");
}

std::string_view KindName(char opening) noexcept {
  switch (opening) {
    case '{':
      return "Map";
    case '[':
      return "Array";
    case '`':
      return "Queue";
    case '(':
      return "Set";
    default:
      return "Stack";
  }
}

std::string_view ValueNameOfTag(std::int16_t tag) noexcept {
  switch (tag) {
    case vbInteger:
      return "an Integer";
    case vbLong:
      return "a Long";
    case vbSingle:
      return "a Single";
    case vbDouble:
      return "a Double";
    case vbCurrency:
      return "a Currency value";
    case vbDate:
      return "a Date";
    case vbObject:
      return "an identity number";
    case vbBoolean:
      return "a Boolean";
    case vbDecimal:
      return "a Decimal";
    case vbByte:
      return "a Byte";
    default:
      return "a value";
  }
}

// What went wrong when `text` did not decode as an element and raised `error`.
std::string DecodeFailure(const Error& error, std::string_view text) {
  const std::size_t first = TagStart(text);
  const std::size_t tag_end = text.find('\\', first);
  if (tag_end == std::string_view::npos) {
    return text.empty() ? std::string("an empty element (only spaces)")
                        : Quoted(text) + " is not an element: it has no tag";
  }
  const std::string_view tag_text = text.substr(first, tag_end - first);
  std::int16_t tag = 0;
  try {
    tag = TagFromText(tag_text);
  } catch (const Error& tag_error) {
    return "the tag " + Quoted(tag_text) +
           (tag_error.Number() == err::kOverflow ? " is out of range" : " is not a number");
  }
  const std::string_view value = text.substr(tag_end + 1);
  if (tag == vbObject && error.Number() == err::kInvalidProcedureCall) {
    return "no live object has the identity " + Quoted(value);
  }
  return Quoted(value) + (error.Number() == err::kOverflow ? " is out of range for " : " is not ") +
         std::string(ValueNameOfTag(tag));
}

// Says where in the text an error lies, as "at byte N" counted from 0 in the caller's unit.
class Place {
 public:
  Place(std::string_view text, OffsetUnit unit) noexcept : text_(text), unit_(unit) {}

  std::string_view Text() const noexcept { return text_; }

  std::string Byte(std::size_t offset) const {
    return "byte " + std::to_string(unit_ == OffsetUnit::kTextBytes ? offset : FileOffset(offset));
  }

  [[noreturn]] void Raise(std::int32_t number, std::size_t offset, const std::string& what) const {
    RaiseRuntimeError(number, "at " + Byte(offset) + ": " + what);
  }
  [[noreturn]] void Raise(const Error& error, std::size_t offset, const std::string& what) const {
    throw Error(error.Number(), error.Source(), error.Description(), "at " + Byte(offset) + ": " + what);
  }

 private:
  // A file byte holds one character: the characters before `offset`, that is its bytes that do
  // not continue a UTF-8 sequence.
  std::size_t FileOffset(std::size_t offset) const noexcept {
    std::size_t characters = 0;
    for (const char byte : text_.substr(0, offset))
      characters += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return characters;
  }

  std::string_view text_;
  OffsetUnit unit_;
};

}  // namespace

// Builds the container tree that SetObjectString and Import make: the sink the library itself
// reads into.
class ObjectStringReader {
 public:
  class TavrixFiller;

  // Reads a whole object string into `sink`.
  template <class Sink>
  static void Read(std::string_view text, OffsetUnit unit, Sink& sink);

  // Makes `target` what Become would make it with the container read.
  static void MoveInto(Tavrix& target, Tavrix& read) noexcept {
    using detail::access;
    access::ReplaceStorage(target, std::move(access::values(read)), std::move(access::keys(read)));
    access::kind(target) = access::kind(read);
    access::bound(target) = access::bound(read);
  }

 private:
  template <class Sink>
  class Walker;
};

class ObjectStringReader::TavrixFiller final : public ObjectStringSink {
 public:
  // How a Map's keys are checked: all at once when the Map closes, which spares a lookup per
  // key, or each as it comes, which finds a key given twice before anything after it.
  enum class KeyCheck { kAtClose, kEach };

  explicit TavrixFiller(KeyCheck check) noexcept : check_(check) {}

  TavrixPtr Result() { return std::move(result_); }

  void Open(TavrixKind kind, std::int32_t expected) override {
    TavrixPtr container = Tavrix::Create();
    access::kind(*container) = kind;
    if (kind == KindMap) {
      KeyedFiller::ReserveKeyed(access::values(*container), expected);  // its keys are stored
    } else {
      access::bound(*container) = kind == KindUnboundedArray ? -1 : 0;
      access::values(*container).Reserve(expected);
    }
    open_.push_back(std::move(container));
    Enter(*open_.back());
  }

  void Close() override {
    TavrixPtr done = std::move(open_.back());
    open_.pop_back();
    if (check_ == KeyCheck::kAtClose && access::kind(*done) == KindMap &&
        !KeyedFiller::HoldsDistinctKeys(access::values(*done))) {
      RaiseRuntimeError(err::kDuplicateKey);  // the read checking each key says which and where
    }
    if (open_.empty()) {
      result_ = std::move(done);
      return;
    }
    Enter(*open_.back());
    Add(Variant(std::move(done)));
  }

  // The entry is placed before its value is read, so that a key given twice fails before
  // anything of its value does. A key read is a String: the Map needs no list of its keys.
  bool AddKey(std::string_view key) override {
    if (check_ == KeyCheck::kAtClose) {
      KeyedFiller::AppendUnchecked(*values_, Variant(), key);
      return true;
    }
    try {
      values_->Append(Variant(), key);
    } catch (const Error& error) {
      if (error.Number() != err::kDuplicateKey) throw;
      return false;
    }
    return true;
  }

  [[gnu::always_inline]] void Add(Variant&& value) override {
    if (in_map_) {
      values_->At(values_->Count()) = std::move(value);
    } else {
      values_->Append(std::move(value));
    }
  }

  // The String is made where it is stored, not moved there.
  [[gnu::always_inline]] void AddText(std::string_view text) override {
    if (in_map_) {
      values_->At(values_->Count()) = Variant::String(text);
    } else {
      values_->Append(Variant::String(text));
    }
  }

  void AddHolder(Variant&& value) override { Add(Variant(Holding(std::move(value)))); }

  void Whole(Variant&& value) override { result_ = Holding(std::move(value)); }

  void Nil() override {
    result_ = Tavrix::Create();
    access::kind(*result_) = KindNil;
  }

 private:
  using access = detail::access;

  static TavrixPtr Holding(Variant value) {
    TavrixPtr holder = Tavrix::Create();
    access::values(*holder).Append(std::move(value));
    return holder;
  }

  void Enter(Tavrix& container) noexcept {
    values_ = &access::values(container);
    in_map_ = access::kind(container) == KindMap;
  }

  KeyCheck check_;
  std::vector<TavrixPtr> open_;
  Collection* values_ = nullptr;  // the innermost container's
  bool in_map_ = false;
  TavrixPtr result_;
};

// The walk of one text: its levels from the top-level body down, one frame per level on an
// explicit stack, told to the sink in text order.
template <class Sink>
class ObjectStringReader::Walker {
 public:
  Walker(const TokenList& tokens, const Place& place, std::size_t body, Sink& sink) noexcept
      : tokens_(tokens), place_(place), top_close_(TopClose(tokens, body)), sink_(sink) {}

  // The text when it has no body: a Nil container, or a Variant-kind one holding the whole rest
  // of the text.
  static void ReadWithoutBody(const Place& place, std::size_t body, Sink& sink) {
    if (place.Text().substr(body) == "nil") {
      sink.Nil();
    } else {
      sink.Whole(ReadWholeValue(place, body));
    }
  }

  void ReadBody(char mark) {
    // The first two tokens are taken to be the header and the opening mark, and are not read.
    Enter(mark, 2, Level{tokens_.Count(), false});
    while (true) {
      Frame& frame = stack_.back();
      if (const std::size_t opening = Walk(frame); opening != kNoMatch) {
        Enter(tokens_.Text(opening)[0], opening + 1, Level{tokens_.MatchOf(opening) + 1, true});
        continue;
      }
      const std::size_t close = frame.level.end - 1;
      stack_.pop_back();
      sink_.Close();
      if (stack_.empty()) return;
      Frame& parent = stack_.back();
      parent.at = Next(parent.level, close);
    }
  }

 private:
  // The stretch of the token list a level walks: its tokens end before `end`. A nested level
  // steps over empty tokens.
  struct Level {
    std::size_t end;
    bool nested;
  };

  // A Map or a sequence being read: the level it walks, the next token to read.
  struct Frame {
    bool is_map;
    Level level;
    std::size_t at;
    std::string_view close;  // a sequence's closing mark
  };

  // The closing mark of the top-level body, which opens at byte `body`, or kNoMatch.
  static std::size_t TopClose(const TokenList& tokens, std::size_t body) noexcept {
    std::size_t index = 0;
    while (index < tokens.Count() && tokens.Offset(index) < body) ++index;
    return index < tokens.Count() && tokens.IsDelimiter(index) ? tokens.MatchOf(index) : kNoMatch;
  }

  // The one value of a Variant-kind container: the whole rest of the text, not split.
  static Variant ReadWholeValue(const Place& place, std::size_t body) {
    const std::string_view text = place.Text().substr(body);
    try {
      return DecodeElement(text);
    } catch (const Error& error) {
      const std::optional<TaggedText> element = SplitTagged(text);
      if (std::optional<Variant> mended = element ? NonFiniteValue(*element) : std::nullopt) return *mended;
      if (place.Text().empty()) place.Raise(error, 0, "the text is empty");
      if (body > 0 && !LooksLikeHeader(place.Text().substr(0, body))) {
        place.Raise(error, 0, Quoted(place.Text().substr(0, body)) + " is not a header");
      }
      if (text.empty()) place.Raise(error, body, "nothing follows the header");
      place.Raise(error, body, DecodeFailure(error, text));
    }
  }

  // Starts a frame for the level opened by `mark` whose first token is `begin`.
  void Enter(char mark, std::size_t begin, Level level) {
    const TavrixKind kind = KindOfOpening(std::string_view(&mark, 1));
    std::string_view close;  // a Map passes over "}" by its own test
    if (kind != KindMap) close = GetCloseBracket(std::string_view(&mark, 1));
    const std::size_t at = Skip(level, begin);
    sink_.Open(kind, ExpectedCount(level, at));
    stack_.push_back(Frame{kind == KindMap, level, at, close});
  }

  // Reads the frame's elements in text order until one is a nested container, whose opening
  // mark's index it returns (the frame goes on after that container's closing mark), or to the
  // end of the level (kNoMatch).
  // The two loops stay functions of their own, so that each keeps its variables in registers:
  // inlined into the walk of the stack, they read the benchmark documents some 4% slower.
  std::size_t Walk(const Frame& frame) { return frame.is_map ? WalkMap(frame) : WalkSequence(frame); }

  // Entries "key: value": the value stands two tokens after its key, and the token between is
  // not read. Separators and "}" are passed over wherever they stand. The frame's fields are
  // copied, as the calls made here could otherwise change them for all the compiler knows.
  [[gnu::noinline]] std::size_t WalkMap(const Frame& frame) {
    const Level level = frame.level;
    std::size_t at = frame.at;
    while (at < level.end) {
      if (tokens_.IsDelimiter(at, ':') || tokens_.IsDelimiter(at, ',') || tokens_.IsDelimiter(at, '}')) {
        at = Next(level, at);
        continue;
      }
      const std::size_t key = at;
      AddKey(key);
      at = Next(level, Next(level, at));
      if (at >= level.end) FailKeyWithoutValue(level, key);
      if (tokens_.IsHeader(at)) {
        if (const std::size_t opening = ReadAfterHeader(frame, at); opening != kNoMatch) return opening;
      } else {
        ReadScalar(level, at, key);
      }
      at = Next(level, at);
    }
    return kNoMatch;
  }

  // Elements; "," and the closing mark are passed over wherever they stand.
  [[gnu::noinline]] std::size_t WalkSequence(const Frame& frame) {
    const Level level = frame.level;
    const std::string_view close = frame.close;
    std::size_t at = frame.at;
    while (at < level.end) {
      if (tokens_.IsDelimiter(at, ',') || (tokens_.IsDelimiter(at) && tokens_.Text(at) == close)) {
        at = Next(level, at);
        continue;
      }
      if (tokens_.IsHeader(at)) {
        if (const std::size_t opening = ReadAfterHeader(frame, at); opening != kNoMatch) return opening;
      } else {
        ReadScalar(level, at, kNoMatch);
      }
      at = Next(level, at);
    }
    return kNoMatch;
  }

  void AddKey(std::size_t at) {
    const std::string_view key = tokens_.Text(at);
    if (!sink_.AddKey(key)) {
      Fail(err::kDuplicateKey, at, tokens_.Offset(at), "the key " + Quoted(key) + " is given twice");
    }
  }

  // After the header token at `at`: a nested container is left for the walk to enter, and its
  // opening mark's index returned; a token that opens nothing is read here with the tokens that
  // make its text, and `at` left on the last of them (kNoMatch).
  std::size_t ReadAfterHeader(const Frame& frame, std::size_t& at) {
    const Level& level = frame.level;
    const std::size_t header = at;
    at = Next(level, at);
    if (at >= level.end) {
      Fail(err::kSubscriptOutOfRange, header, EndOffset(level),
           "the header at " + ByteOf(header) + " is not followed by an object");
    }
    if (stack_.size() > static_cast<std::size_t>(kMaxNestingDepth)) {
      Fail(err::kOutOfStackSpace, at, tokens_.Offset(at),
           "nesting deeper than " + std::to_string(kMaxNestingDepth) + " levels");
    }
    const Bracket opening = tokens_.OpeningOf(at);
    const std::size_t close = opening == kNoBracket ? FindEmptyClose(level, at) : tokens_.MatchOf(at);
    // A closing mark that is missing, or that lies beyond this level, is not there.
    if (close == kNoMatch || close >= level.end) {
      if (opening != kNoBracket) {
        Fail(err::kSubscriptOutOfRange, at, EndOffset(level),
             "the " + std::string(KindName(tokens_.Text(at)[0])) + " opened at " + ByteOf(at) +
                 " is not closed");
      }
      Fail(err::kSubscriptOutOfRange, at, tokens_.Offset(at),
           "the header at " + ByteOf(header) + " is followed by " + Quoted(tokens_.Text(at)) +
               ", which opens nothing");
    }
    if (opening != kNoBracket) return at;
    sink_.AddHolder(ReadJoined(at, close));
    at = close;
    return kNoMatch;
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

  // The nested text of the tokens from `first` to `last`, joined with nothing between them,
  // reads as a Variant-kind container holding the element that text makes (it starts with a
  // mark, so it is neither a body nor "nil"): that element.
  Variant ReadJoined(std::size_t first, std::size_t last) const {
    std::string text;
    for (std::size_t index = first; index <= last; ++index) text += tokens_.Text(index);
    try {
      return DecodeElement(text);
    } catch (const Error& error) {
      Fail(error, first, tokens_.Offset(first), DecodeFailure(error, text));
    }
  }

  // Reads the element at `at` into the sink; a text value goes as it is.
  void ReadScalar(const Level& level, std::size_t& at, std::size_t key) {
    const std::optional<TaggedText> element = SplitPlainElement(tokens_.Text(at));
    if (element && HoldsTextByTag(element->tag)) {
      sink_.AddText(element->value);
    } else {
      sink_.Add(Decode(level, at, key, element));
    }
  }

  // The element at `at`, already split when `element` holds it. A mended reading is tried only
  // where the plain one fails, so every text that read before reads the same.
  Variant Decode(const Level& level, std::size_t& at, std::size_t key,
                 const std::optional<TaggedText>& element) const {
    try {
      return element ? ValueOfTag(*element) : DecodeElement(tokens_.Text(at));
    } catch (const Error& error) {
      if (std::optional<Variant> mended = Mended(level, at)) return std::move(*mended);
      FailElement(error, at, key);
    }
  }

  // What the writer writes and a plain reading refuses: a Single or Double that is not a finite
  // number, and a Date whose time of day the ':' marks cut into tokens, which are joined again
  // (`at` is left on the last of them).
  std::optional<Variant> Mended(const Level& level, std::size_t& at) const {
    const std::optional<TaggedText> element = SplitTagged(tokens_.Text(at));
    if (!element) return std::nullopt;
    if (element->tag != vbDate) return NonFiniteValue(*element);
    std::string joined(element->value);
    std::size_t last = at;
    for (int piece = 0; piece < 2; ++piece) {  // hours, minutes and seconds
      const std::size_t colon = Next(level, last);
      const std::size_t after = colon < level.end ? Next(level, colon) : level.end;
      if (after >= level.end || !tokens_.IsDelimiter(colon, ':') || tokens_.IsDelimiter(after)) break;
      joined.append(":").append(tokens_.Text(after));
      last = after;
    }
    const std::optional<double> serial = last == at ? std::nullopt : DateSerialFromText(joined);
    if (!serial) return std::nullopt;
    at = last;
    return Variant(Date{*serial});
  }

  // ---- Errors that say where ----------------------------------------------------------------

  // Reading the element at `at`, the value of the Map key at `key` (or kNoMatch in a sequence),
  // failed with `error`.
  [[noreturn]] void FailElement(const Error& error, std::size_t at, std::size_t key) const {
    const std::string_view text = tokens_.Text(at);
    if (!HasTag(text) && !tokens_.IsEmpty(at)) {
      const std::size_t before = Previous(at);
      if (before != kNoMatch && tokens_.OpeningOf(at) != kNoBracket &&
          LooksLikeHeader(tokens_.Text(before))) {
        Fail(error, at, tokens_.Offset(before),
             Quoted(tokens_.Text(before)) + " is not the header " + Quoted(kHeader));
      }
      const std::size_t mark = key == kNoMatch ? SplittingMark(at) : MarkSplittingKey(key);
      if (mark != kNoMatch) Fail(error, at, tokens_.Offset(mark), SplitText(mark));
    }
    // An empty token is a run of spaces that ends at its offset.
    Fail(error, at, tokens_.Offset(at) - (tokens_.IsEmpty(at) ? 1 : 0), DecodeFailure(error, text));
  }

  [[noreturn]] void FailKeyWithoutValue(const Level& level, std::size_t key) const {
    if (const std::size_t mark = MarkSplittingKey(key); mark != kNoMatch) {
      Fail(err::kSubscriptOutOfRange, key, tokens_.Offset(mark), SplitText(mark));
    }
    Fail(err::kSubscriptOutOfRange, key, EndOffset(level),
         "the key " + Quoted(tokens_.Text(key)) + " at " + ByteOf(key) + " has no value");
  }

  // The ',' or ':' that cut a text in two when the token `index` is that mark or the rest of the
  // text: a mark right after an element whose value is text. kNoMatch when there is none.
  std::size_t SplittingMark(std::size_t index) const noexcept {
    if (IsSplitMark(index)) return HoldsText(Previous(index)) ? index : kNoMatch;
    const std::size_t before = Previous(index);
    return before != kNoMatch && IsSplitMark(before) && HoldsText(Previous(before)) ? before : kNoMatch;
  }

  // A Map key stands after "," with ":" after it. A key after a ':', or one whose next token is
  // not ':', is likely the rest of a text that a mark split: that mark, or kNoMatch.
  std::size_t MarkSplittingKey(std::size_t key) const noexcept {
    const std::size_t before = Previous(key);
    const std::size_t between = key + 1 < tokens_.Count() ? key + 1 : kNoMatch;
    const bool misplaced = (before != kNoMatch && tokens_.IsDelimiter(before, ':')) ||
                           (between != kNoMatch && !tokens_.IsDelimiter(between, ':'));
    return misplaced ? SplittingMark(key) : kNoMatch;
  }

  bool IsSplitMark(std::size_t index) const noexcept {
    return tokens_.IsDelimiter(index, ',') || tokens_.IsDelimiter(index, ':');
  }

  // Whether the token `index` is an element whose value is text (a String, or a tag without a
  // conversion): the values that may hold a mark.
  bool HoldsText(std::size_t index) const {
    if (index == kNoMatch || tokens_.IsDelimiter(index) || tokens_.IsHeader(index)) return false;
    const std::optional<TaggedText> element = SplitTagged(tokens_.Text(index));
    return element && HoldsTextByTag(element->tag);
  }

  std::string SplitText(std::size_t mark) const {
    return "a '" + std::string(tokens_.Text(mark)) + "' inside a text splits it";
  }

  // The token before `index` that is not empty, or kNoMatch.
  std::size_t Previous(std::size_t index) const noexcept {
    while (index != kNoMatch && index > 0) {
      if (!tokens_.IsEmpty(--index)) return index;
    }
    return kNoMatch;
  }

  // Where a level ends: its closing mark, or for the top level the end of the text.
  std::size_t EndOffset(const Level& level) const noexcept {
    return level.nested ? tokens_.Offset(level.end - 1) : tokens_.Whole().size();
  }

  std::string ByteOf(std::size_t token) const { return place_.Byte(tokens_.Offset(token)); }

  // Raises the error of reading the token `token` (or `error` again), with the byte `offset`
  // and `what`; a failure in text after the end of the top-level body is told as that.
  [[noreturn]] void Fail(std::int32_t number, std::size_t token, std::size_t offset,
                         const std::string& what) const {
    if (IsAfterTheEnd(token)) place_.Raise(number, AfterTheEndOffset(), AfterTheEnd());
    place_.Raise(number, offset, what);
  }
  [[noreturn]] void Fail(const Error& error, std::size_t token, std::size_t offset,
                         const std::string& what) const {
    if (IsAfterTheEnd(token)) place_.Raise(error, AfterTheEndOffset(), AfterTheEnd());
    place_.Raise(error, offset, what);
  }

  bool IsAfterTheEnd(std::size_t token) const noexcept {
    return top_close_ != kNoMatch && token > top_close_;
  }

  // The first byte after the top-level closing mark that is not a space.
  std::size_t AfterTheEndOffset() const noexcept {
    const std::size_t end = tokens_.Offset(top_close_) + tokens_.Text(top_close_).size();
    const std::size_t first = tokens_.Whole().find_first_not_of(' ', end);
    return first == std::string_view::npos ? end : first;
  }

  std::string AfterTheEnd() const {
    const std::string_view rest = tokens_.Whole().substr(AfterTheEndOffset());
    std::string shown;
    if (rest.find_first_not_of(" \t\r\n") != std::string_view::npos) {
      shown = Quoted(rest);
    } else {
      std::size_t breaks = 0;
      for (std::size_t index = 0; index < rest.size(); ++index) {
        breaks += rest[index] == '\n' ||
                  (rest[index] == '\r' && (index + 1 == rest.size() || rest[index + 1] != '\n'));
      }
      shown = breaks == 0 ? "spaces" : breaks == 1 ? "a line break" : "line breaks";
    }
    return "text after the end of the object (" + shown + ")";
  }

  // ---- The token list, level by level -------------------------------------------------------

  // How many elements the level holds when it is written as the writer writes: one more than its
  // separators, leaving out those of nested containers. Only a hint for the collections' room.
  std::int32_t ExpectedCount(const Level& level, std::size_t at) const noexcept {
    if (at + 1 >= level.end) return 0;  // nothing, or only the closing mark
    const std::size_t close = level.nested ? level.end - 1 : top_close_;
    if (close == kNoMatch) return 0;
    return static_cast<std::int32_t>(tokens_.SeparatorsBefore(close) + 1);  // fewer than kNoMatch
  }

  std::size_t Skip(const Level& level, std::size_t at) const noexcept {
    return level.nested && at < level.end && tokens_.IsEmpty(at) ? at + 1 : at;
  }
  // Empty tokens never stand side by side, so one step over one is enough.
  std::size_t Next(const Level& level, std::size_t at) const noexcept { return Skip(level, at + 1); }

  const TokenList& tokens_;
  const Place& place_;
  std::size_t top_close_;
  Sink& sink_;
  std::vector<Frame> stack_;
};

template <class Sink>
void ObjectStringReader::Read(std::string_view text, OffsetUnit unit, Sink& sink) {
  const Place place(text, unit);
  const std::size_t header_end = text.find('\\', FirstCharacterSize(text));
  const std::size_t body = header_end == std::string_view::npos ? 0 : header_end + 1;
  const char mark = body < text.size() ? text[body] : '\0';
  if (TokenList::OpeningBracket(mark) == kNoBracket) {
    sink.Begin();
    Walker<Sink>::ReadWithoutBody(place, body, sink);
    return;
  }
  const TokenList tokens(text);
  sink.Begin();
  Walker<Sink>(tokens, place, body, sink).ReadBody(mark);
}

namespace {

TavrixPtr ReadTree(std::string_view text, OffsetUnit unit, ObjectStringReader::TavrixFiller::KeyCheck check) {
  ObjectStringReader::TavrixFiller filler(check);
  ObjectStringReader::Read(text, unit, filler);
  return filler.Result();
}

}  // namespace

// Each Map's keys are checked when it closes. An error met that way need not be the first in
// the text (a key given twice shows only at its Map's end), so none is shown: the text is read
// again checking each key as it comes, which raises the first error with its place.
void ReadObjectStringInto(Tavrix& target, std::string_view text, OffsetUnit unit) {
  using KeyCheck = ObjectStringReader::TavrixFiller::KeyCheck;
  TranslateErrors([&] {
    TavrixPtr tree;
    try {
      tree = ReadTree(text, unit, KeyCheck::kAtClose);
    } catch (...) {
      tree = ReadTree(text, unit, KeyCheck::kEach);
    }
    ObjectStringReader::MoveInto(target, *tree);
  });
}

void ReadObjectString(std::string_view text, OffsetUnit unit, ObjectStringSink& sink) {
  TranslateErrors([&] { ObjectStringReader::Read(text, unit, sink); });
}

void Tavrix::SetObjectString(std::string_view str) {
  ReadObjectStringInto(*this, str, OffsetUnit::kTextBytes);
}

}  // namespace quenlo
