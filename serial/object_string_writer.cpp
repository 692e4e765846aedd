// The object string writer: the header, the body of each kind and every element, appended into
// one buffer for the whole tree, so the cost is linear in the text whatever the depth.
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/object_string_format.hpp"
#include "serial/tree_walk.hpp"

namespace quenlo {

class ObjectStringWriter {
 public:
  explicit ObjectStringWriter(std::string& out) noexcept : out_(out) {}

  // The header and the body of `container`, by its kind.
  void WriteObject(const Tavrix& container) {
    out_ += kHeader;
    switch (container.kind_) {
      case KindMap:
        WriteMap(container);
        break;
      case KindVariant:
        WriteElement(container, container.values_->At(1));
        break;
      case KindNil:
        out_ += "nil";
        break;
      case KindBoundedArray:
      case KindUnboundedArray:
      case KindSet:
      case KindStack:
      case KindQueue:
        WriteSequence(container, OpeningMark(container.kind_));
        break;
    }
  }

 private:
  // "{key: element, ...}", the keys in insertion order, paired with the values by position.
  void WriteMap(const Tavrix& map) {
    out_ += '{';
    const Collection& keys = *map.keys_;
    const std::int32_t count = keys.Count();
    for (std::int32_t position = 1; position <= count; ++position) {
      if (position > 1) out_ += ", ";
      AppendText(out_, keys.At(position));
      out_ += ": ";
      if (position < count) PrefetchObject(map.values_->At(position + 1));
      WriteElement(map, map.values_->At(position));
    }
    out_ += '}';
  }

  // The opening mark, the elements in storage order, the closing mark.
  void WriteSequence(const Tavrix& sequence, std::string_view opening) {
    out_ += opening;
    const Collection& values = *sequence.values_;
    const std::int32_t count = values.Count();
    for (std::int32_t position = 1; position <= count; ++position) {
      if (position > 1) out_ += ", ";
      if (position < count) PrefetchObject(values.At(position + 1));
      WriteElement(sequence, values.At(position));
    }
    out_ += GetCloseBracket(opening);
  }

  // Asks for the object of the next element while this one is written: the walk reads its type
  // and visit count first, and the objects of a tree lie far apart in memory.
  static void PrefetchObject(const Variant& next) noexcept {
    if (!next.IsObject()) return;
    // The line of the type and the line of the visit count, at a container's two ends (address
    // arithmetic only: the object may be of another, smaller class, and a prefetch never faults).
    const auto address = reinterpret_cast<std::uintptr_t>(next.AsObject().get());
    if (address == 0) return;
    __builtin_prefetch(reinterpret_cast<const void*>(address));
    __builtin_prefetch(reinterpret_cast<const void*>(address + sizeof(Tavrix) - 1));
  }

  void WriteElement(const Tavrix& parent, const Variant& value) {
    switch (TreeWalk::FormOf(value)) {
      case TreeWalk::Form::kScalar:
        WriteScalar(value);
        break;
      case TreeWalk::Form::kReference:
        WriteReference(value);
        break;
      case TreeWalk::Form::kNested:
        TreeWalk::EnterNested(parent, TreeWalk::NestedOf(value),
                              [this](const Tavrix& child) { WriteObject(child); });
        break;
    }
  }

  // "\tag\text": the type code and the concatenation text (none for Empty and Null).
  void WriteScalar(const Variant& value) {
    const int type = VarType(value);
    if (type < static_cast<int>(kTagTexts.size())) {
      out_ += kTagTexts[static_cast<std::size_t>(type)];
    } else {
      out_ += '\\';
      AppendDecimal(type);
      out_ += '\\';
    }
    AppendText(out_, value);
  }

  // "\tag\" of the type codes up to vbByte; an array's code (vbArray + vbVariant) is written
  // digit by digit.
  static constexpr std::array<std::string_view, vbByte + 1> kTagTexts = {
      "\\0\\", "\\1\\",  "\\2\\",  "\\3\\",  "\\4\\",  "\\5\\",  "\\6\\",  "\\7\\",  "\\8\\",
      "\\9\\", "\\10\\", "\\11\\", "\\12\\", "\\13\\", "\\14\\", "\\15\\", "\\16\\", "\\17\\"};

  // "\9\" and the object's identity number, 0 for nothing.
  void WriteReference(const Variant& value) {
    out_ += "\\9\\";
    AppendDecimal(IdentityRegistry::IdentityOf(value.AsObject()));
  }

  void AppendDecimal(std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out_.append(digits, end);
  }

  std::string& out_;
};

std::string Tavrix::GetObjectString() const {
  return TranslateErrors([this] {
    std::string text;
    ObjectStringWriter(text).WriteObject(*this);
    return text;
  });
}

}  // namespace quenlo
