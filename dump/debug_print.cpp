// DebugPrint: the indented listing of a container tree, written into one buffer.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/tree_walk.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

// Lists a container and everything nested in it: a bracketed body indented by its level, a Map
// entry per line at that level, a sequence element per line at twice it. A nested container's
// listing continues the line of the element that holds it.
class DumpWriter {
 public:
  explicit DumpWriter(std::string& out) noexcept : out_(out) {}

  void Open(const Tavrix& container, std::int32_t level) {
    const TavrixKind kind = TreeWalk::KindOf(container);
    if (kind == KindVariant) return;
    if (kind == KindNil) {
      out_ += "nil";
      return;
    }
    AppendTabs(level);
    out_ += OpeningMark(kind);
  }

  void Element(const Tavrix& container, std::int32_t position, std::int32_t level) {
    const TavrixKind kind = TreeWalk::KindOf(container);
    if (kind == KindVariant) return;
    if (position > 1) out_ += ',';
    out_ += kLineBreak;
    if (kind != KindMap) {
      AppendTabs(ElementIndent(level));
      return;
    }
    AppendTabs(level);
    TreeWalk::AppendKeyText(out_, container, position);
    out_ += ": ";
  }

  void Scalar(const Variant& value) { AppendText(out_, value); }

  void Reference(const Variant& value) {
    out_ += "Pointer to ";
    out_ += std::to_string(IdentityRegistry::IdentityOf(value.AsObject()));
  }

  void Close(const Tavrix& container, std::int32_t level) {
    const std::string_view closing = ClosingMark(TreeWalk::KindOf(container));
    if (closing.empty()) return;
    out_ += kLineBreak;
    AppendTabs(level);
    out_ += closing;
  }

 private:
  static constexpr std::string_view kLineBreak = "\r\n";

  void AppendTabs(std::int32_t count) { out_.append(static_cast<std::size_t>(count), '\t'); }

  // A sequence element is indented by twice the level.
  static std::int32_t ElementIndent(std::int32_t level) {
    if (level > std::numeric_limits<std::int32_t>::max() / 2) RaiseRuntimeError(err::kOverflow);
    return 2 * level;
  }

  std::string& out_;
};

}  // namespace

std::string Tavrix::DebugPrint() const {
  return TranslateErrors([this] {
    std::string out;
    DumpWriter writer(out);
    TreeWalk::Run(*this, writer);
    return out;
  });
}

}  // namespace quenlo
