// The object string writer: the header, the body of each kind and every element, appended into
// one buffer for the whole tree, so the cost is linear in the text whatever the depth. The same
// pass can check that the text reads back equal, for Export and FindUnreadableValue.
#include "serial/object_string_writer.hpp"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/kind_marks.hpp"
#include "core/tree_walk.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"
#include "serial/object_string_format.hpp"
#include "serial/read_back_check.hpp"

namespace quenlo {
namespace {

// What opens the body of a kind: the header, "nil" for a Nil, and the kind's opening mark, kept
// as one text so that a body begins with one append.
class OpeningText {
 public:
  constexpr OpeningText() = default;
  constexpr explicit OpeningText(TavrixKind kind) {
    Append(kHeader);
    if (kind == KindNil) Append("nil");
    Append(OpeningMark(kind));
  }
  std::string_view View() const noexcept { return {bytes_.data(), size_}; }

 private:
  constexpr void Append(std::string_view text) {
    for (const char byte : text) bytes_[size_++] = byte;
  }

  std::array<char, 16> bytes_{};
  std::size_t size_ = 0;
};

// The opening texts by kind number.
constexpr auto kOpeningTexts = [] {
  std::array<OpeningText, KindQueue + 1> texts;
  for (std::size_t kind = 0; kind < texts.size(); ++kind)
    texts[kind] = OpeningText(static_cast<TavrixKind>(kind));
  return texts;
}();

class ObjectStringWriter {
 public:
  // `check`, when given, is told of every key and value text as it is written. Unless
  // `keep_text`, the text is dropped before each element, so that checking a tree never holds
  // more than one element's text.
  ObjectStringWriter(std::string& out, ReadBackCheck* check, bool keep_text) noexcept
      : out_(out), check_(check), keep_text_(keep_text) {}

  void Open(const Tavrix& container, std::int32_t /*level*/) {
    if (check_ != nullptr) check_->Open(container);
    out_ += kOpeningTexts[static_cast<std::size_t>(TreeWalk::KindOf(container))].View();
  }

  // The separator before every element but the first; in a Map the key and ": " too, the keys in
  // insertion order and paired with the values by position.
  void Element(const Tavrix& container, std::int32_t position, std::int32_t /*level*/) {
    if (check_ != nullptr) check_->Element(container, position);
    if (!keep_text_) out_.clear();
    if (position > 1) out_ += ", ";
    if (TreeWalk::KindOf(container) != KindMap) return;
    const std::size_t start = out_.size();
    TreeWalk::AppendKeyText(out_, container, position);
    if (check_ != nullptr) check_->Key(std::string_view(out_).substr(start));
    out_ += ": ";
  }

  // "\tag\text": the type code and the concatenation text (none for Empty and Null).
  void Scalar(const Variant& value) {
    const int type = VarType(value);
    if (type < static_cast<int>(kTagTexts.size())) {
      out_ += kTagTexts[static_cast<std::size_t>(type)];
    } else {
      out_ += '\\';
      AppendDecimal(type);
      out_ += '\\';
    }
    const std::size_t start = out_.size();
    AppendText(out_, value);
    if (check_ != nullptr) check_->Value(std::string_view(out_).substr(start), type);
  }

  // "\9\" and the object's identity number, 0 for nothing.
  void Reference(const Variant& value) {
    out_ += "\\9\\";
    AppendDecimal(IdentityRegistry::IdentityOf(value.AsObject()));
  }

  void Close(const Tavrix& container, std::int32_t /*level*/) {
    out_ += ClosingMark(TreeWalk::KindOf(container));
    if (check_ != nullptr) check_->Close();
  }

 private:
  // "\tag\" of the type codes up to vbByte; an array's code (vbArray + vbVariant) is written
  // digit by digit.
  static constexpr std::array<std::string_view, vbByte + 1> kTagTexts = {
      "\\0\\", "\\1\\",  "\\2\\",  "\\3\\",  "\\4\\",  "\\5\\",  "\\6\\",  "\\7\\",  "\\8\\",
      "\\9\\", "\\10\\", "\\11\\", "\\12\\", "\\13\\", "\\14\\", "\\15\\", "\\16\\", "\\17\\"};

  void AppendDecimal(std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out_.append(digits, end);
  }

  std::string& out_;
  ReadBackCheck* check_;
  bool keep_text_;
};

}  // namespace

void WriteObjectString(const Tavrix& container, std::string& out, ReadBackCheck* check) {
  ObjectStringWriter writer(out, check, true);
  TreeWalk::Run(container, writer);
}

void CheckObjectString(const Tavrix& container, ReadBackCheck& check) {
  std::string text;
  ObjectStringWriter writer(text, &check, false);
  TreeWalk::Run(container, writer);
}

std::string Tavrix::GetObjectString() const {
  return TranslateErrors([this] {
    std::string text;
    WriteObjectString(*this, text);
    return text;
  });
}

}  // namespace quenlo
