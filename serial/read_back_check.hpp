// The check that an object string reads back equal: told of every key and value text as the
// writer writes it, it finds the first one the reader would split or cut short.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// Finds the first key or value text that would not read back as written: one holding a mark of
/// the format (a Date's ":" excepted, which the reader joins again), a value text ending in a
/// space, a key that is empty or begins or ends with a space, a container inside a nested
/// Variant-kind container. The one value of a top-level Variant-kind container is read whole
/// and never split. What the format does not keep by design (Empty and Null reading back as
/// empty Strings, keys as Strings, a bound, a nested Variant or Nil container as the String of
/// its text, object references beyond the process) is not a finding.
class ReadBackCheck {
 public:
  explicit ReadBackCheck(const Tavrix& root);

  void Open(const Tavrix& container);
  void Element(const Tavrix& container, std::int32_t position);
  void Key(std::string_view text);
  void Value(std::string_view text, int type);
  void Close() noexcept { steps_.pop_back(); }

  /// "PATH: why" of the first finding, the path naming Map entries by key in braces and other
  /// elements by position in brackets ("{items}[3]{name}"); empty when there is none.
  const std::string& Finding() const noexcept { return finding_; }

 private:
  struct Step {
    const Tavrix* container;
    std::int32_t position;
  };

  bool Checking() const noexcept { return checking_ && finding_.empty(); }
  bool InNestedVariant() const noexcept;
  void Report(const std::string& why);

  std::vector<Step> steps_;
  bool checking_;
  std::string finding_;
};

/// The object string of `container`, or runtime error 5 with the finding as its context when
/// the text would not read back equal.
std::string ObjectStringThatReadsBack(const Tavrix& container);

}  // namespace quenlo
