// The object string reader, for the library's own callers: SetObjectString, Import, and the
// Python module, which builds its own values from what the reader tells a sink.
#pragma once

#include <cstdint>
#include <string_view>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// How the byte offsets in a reader error count: bytes of the UTF-8 text, or bytes of the
/// Windows-1252 file it was read from, which hold one character each.
enum class OffsetUnit { kTextBytes, kFileBytes };

/// Makes `target` the container `text` describes, or raises an error whose Context() says at
/// which byte (counted in `unit`, from 0) reading failed and what went wrong, and changes
/// nothing.
void ReadObjectStringInto(Tavrix& target, std::string_view text, OffsetUnit unit);

/// What the reader makes of an object string, told in text order as it reads: the containers it
/// opens and closes and the elements of each. The reader has checked what it tells; a failure
/// it finds later ends reading with its error, and the sink's values are then left unused.
class ObjectStringSink {
 public:
  virtual ~ObjectStringSink() = default;

  /// Called once before anything else, when the text has been split: a sink that needs a lock
  /// to build its values takes it here, so that splitting the text runs without it.
  virtual void Begin() {}
  /// A Map or a sequence of `kind` starts: the whole text, or the next element of the one open.
  /// `expected` is a hint of how many elements it holds.
  virtual void Open(TavrixKind kind, std::int32_t expected) = 0;
  /// The innermost container ends.
  virtual void Close() = 0;
  /// Adds an entry with this key to the Map open, whose value comes next; false when the Map has
  /// an entry with that key already (the reader then fails).
  virtual bool AddKey(std::string_view key) = 0;
  /// The next element of the sequence open, or the value of the key added last.
  virtual void Add(Variant&& value) = 0;
  /// The same for a String element, given by its text.
  virtual void AddText(std::string_view text) = 0;
  /// The same for a nested Variant-kind container, which holds `value`.
  virtual void AddHolder(Variant&& value) = 0;
  /// The whole text is a Variant-kind container holding `value`.
  virtual void Whole(Variant&& value) = 0;
  /// The whole text is a Nil container.
  virtual void Nil() = 0;
};

/// Reads `text` into `sink`, or raises the error ReadObjectStringInto raises for it.
void ReadObjectString(std::string_view text, OffsetUnit unit, ObjectStringSink& sink);

}  // namespace quenlo
