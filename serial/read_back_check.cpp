// The read-back check: the marks the reader splits at, and the spaces it trims.
#include "serial/read_back_check.hpp"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/tree_walk.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/variant.hpp"
#include "runtime/translate_errors.hpp"
#include "serial/object_string_writer.hpp"

namespace quenlo {
namespace {

constexpr std::array<bool, 256> MakeMarkBytes() {
  std::array<bool, 256> marks{};
  for (const char mark : std::string_view("[]{}()<>,:`")) marks[static_cast<unsigned char>(mark)] = true;
  return marks;
}
constexpr std::array<bool, 256> kMarkBytes = MakeMarkBytes();
constexpr std::string_view kAcute = "\u00B4";

// The first mark in `text` ("," or the two bytes of the acute accent), or npos; a ':' counts
// unless `colon_allowed`.
std::size_t FirstMark(std::string_view text, bool colon_allowed) noexcept {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (kMarkBytes[byte] && !(colon_allowed && byte == ':')) return at;
    if (byte == 0xC2 && text.substr(at, 2) == kAcute) return at;
  }
  return std::string_view::npos;
}

// The characters (code points) before byte `at`, plus 1.
std::size_t CharacterNumber(std::string_view text, std::size_t at) noexcept {
  std::size_t number = 1;
  for (std::size_t index = 0; index < at; ++index) {
    if ((static_cast<unsigned char>(text[index]) & 0xC0) != 0x80) ++number;
  }
  return number;
}

// `what` ("the key", "the text") holds the mark at byte `at`.
std::string SplitReason(std::string_view what, std::string_view text, std::size_t at) {
  const std::string_view mark = text.substr(at, text.substr(at, 2) == kAcute ? 2 : 1);
  return std::string(what) + " holds \"" + std::string(mark) + "\" (character " +
         std::to_string(CharacterNumber(text, at)) + "), which would split it";
}

}  // namespace

ReadBackCheck::ReadBackCheck(const Tavrix& root) : checking_(TreeWalk::KindOf(root) != KindVariant) {}

void ReadBackCheck::Open(const Tavrix& container) {
  if (Checking() && InNestedVariant()) {
    Report("a container inside a nested Variant-kind container, whose text reads back as one value");
  }
  steps_.push_back(Step{&container, 0});
}

void ReadBackCheck::Element(const Tavrix& /*container*/, std::int32_t position) {
  steps_.back().position = position;
}

void ReadBackCheck::Key(std::string_view text) {
  if (!Checking()) return;
  // An empty key reads back only where the space after a separator leaves an empty token, which
  // only the top level keeps: after the first entry of a top-level Map.
  if (text.empty()) {
    if (steps_.size() > 1 || steps_.back().position == 1) Report("an empty key");
    return;
  }
  if (text.front() == ' ' || text.back() == ' ')
    return Report("the key begins or ends with a space, which reading drops");
  if (const std::size_t at = FirstMark(text, false); at != std::string_view::npos)
    Report(SplitReason("the key", text, at));
}

void ReadBackCheck::Value(std::string_view text, int type) {
  if (!Checking() || text.empty()) return;
  // The reader joins a Date's time of day again, but only as an element of its own.
  const bool colon_allowed = type == vbDate && !InNestedVariant();
  if (const std::size_t at = FirstMark(text, colon_allowed); at != std::string_view::npos) {
    return Report(SplitReason("the text", text, at));
  }
  if (text.back() == ' ') Report("the text ends with a space, which reading drops");
}

bool ReadBackCheck::InNestedVariant() const noexcept {
  return steps_.size() > 1 && TreeWalk::KindOf(*steps_.back().container) == KindVariant;
}

void ReadBackCheck::Report(const std::string& why) {
  std::string path;
  for (const Step& step : steps_) {
    if (step.position != 0 && TreeWalk::KindOf(*step.container) != KindVariant)
      TreeWalk::AppendPathStep(path, *step.container, step.position);
  }
  finding_ = path + ": " + why;
}

std::string ObjectStringThatReadsBack(const Tavrix& container) {
  std::string text;
  ReadBackCheck check(container);
  WriteObjectString(container, text, &check);
  if (!check.Finding().empty()) RaiseRuntimeError(err::kInvalidProcedureCall, check.Finding());
  return text;
}

std::string Tavrix::FindUnreadableValue() const {
  return TranslateErrors([this] {
    ReadBackCheck check(*this);
    CheckObjectString(*this, check);
    return check.Finding();
  });
}

}  // namespace quenlo
