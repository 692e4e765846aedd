// DebugPrint: the indented listing of a container tree, written into one buffer.
#include <cstdint>
#include <limits>
#include <string>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/tree_walk.hpp"

namespace quenlo {

// Lists a container and everything nested in it. Level is read afresh for every line, since a
// container that holds itself has its Level changed by its own nested listing.
class DumpWriter {
 public:
  static void AppendDump(std::string& out, const Tavrix& container) {
    switch (container.kind_) {
      case KindMap:
        AppendMapDump(out, container);
        return;
      case KindVariant:
        AppendElementDump(out, container, container.values_->At(1));
        return;
      case KindNil:
        out += "nil";
        return;
      case KindBoundedArray:
      case KindUnboundedArray:
      case KindSet:
      case KindStack:
      case KindQueue:
        AppendSequenceDump(out, container, OpeningMark(container.kind_));
        return;
    }
  }

 private:
  static constexpr std::string_view kLineBreak = "\r\n";

  static void AppendTabs(std::string& out, std::int32_t count) {
    out.append(static_cast<std::size_t>(count), '\t');
  }

  // A sequence element is indented by twice the Level.
  static std::int32_t ElementIndent(std::int32_t level) {
    if (level > std::numeric_limits<std::int32_t>::max() / 2) RaiseRuntimeError(err::kOverflow);
    return 2 * level;
  }

  static void AppendMapDump(std::string& out, const Tavrix& map) {
    AppendTabs(out, map.level_);
    out += '{';
    const Collection& keys = *map.keys_;
    for (std::int32_t i = 1; i <= keys.Count(); ++i) {
      out += kLineBreak;
      AppendTabs(out, map.level_);
      AppendText(out, keys.At(i));
      out += ": ";
      AppendElementDump(out, map, map.values_->At(i));
      out += ',';
    }
    if (keys.Count() > 0) out.pop_back();
    out += kLineBreak;
    AppendTabs(out, map.level_);
    out += '}';
  }

  static void AppendSequenceDump(std::string& out, const Tavrix& sequence, std::string_view opening) {
    AppendTabs(out, sequence.level_);
    out += opening;
    const Collection& values = *sequence.values_;
    for (std::int32_t i = 1; i <= values.Count(); ++i) {
      out += kLineBreak;
      AppendTabs(out, ElementIndent(sequence.level_));
      AppendElementDump(out, sequence, values.At(i));
      out += ',';
    }
    if (values.Count() > 0) out.pop_back();
    out += kLineBreak;
    AppendTabs(out, sequence.level_);
    out += GetCloseBracket(opening);
  }

  static void AppendElementDump(std::string& out, const Tavrix& container, const Variant& value) {
    switch (TreeWalk::FormOf(value)) {
      case TreeWalk::Form::kScalar:
        AppendText(out, value);
        return;
      case TreeWalk::Form::kReference:
        out += "Pointer to ";
        out += std::to_string(IdentityRegistry::IdentityOf(value.AsObject()));
        return;
      case TreeWalk::Form::kNested:
        TreeWalk::EnterNested(container, TreeWalk::NestedOf(value),
                              [&out](const Tavrix& child) { AppendDump(out, child); });
        return;
    }
  }
};

std::string Tavrix::DebugPrint() const {
  return TranslateErrors([this] {
    std::string out;
    DumpWriter::AppendDump(out, *this);
    return out;
  });
}

}  // namespace quenlo
