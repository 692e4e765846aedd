// The object string reader, for the library's own callers: SetObjectString and Import.
#pragma once

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

}  // namespace quenlo
