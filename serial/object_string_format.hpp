// Constants of the object string that the writer, the reader and the dump share.
#pragma once

#include <string_view>

namespace quenlo {

/// Every object string, and the text of every nested container, starts with this header: a
/// backslash, the format number 11000, a backslash.
inline constexpr std::string_view kHeader = "\\11000\\";

/// The acute accent U+00B4 that closes a Queue, as UTF-8.
inline constexpr std::string_view kAcuteAccent = "\u00B4";

}  // namespace quenlo
