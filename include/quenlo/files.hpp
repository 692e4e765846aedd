// File services: whole-file reading, replacing writes, and Windows-1252 <-> UTF-8 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "quenlo/export.hpp"

namespace quenlo {

/// The room a string from ReadFileBytes has beyond its bytes, unless the file grew while it was
/// read: readers of text that look a little past its end (simdjson) read it where it is.
inline constexpr std::size_t kRoomBeyondFileBytes = 64;

/// The bytes of a file, read whole whatever its size. Raises 53 for a missing file, 76 for a
/// missing folder, 70 when access is denied, 57 or 75 for other failures.
QUENLO_EXPORT std::string ReadFileBytes(const std::string& Filename);

/// Makes `bytes` the whole content of a file. A regular file (or a new one) is replaced only once
/// the new content is completely written: it is written to a new file beside the target and
/// renamed over it, so a failed write leaves the former file as it was and a reader sees the
/// former content or the whole new one. The new file is created under a random name, readable
/// by its owner alone, and has the target's mode, and its owner and group where this process may
/// set them, before a byte is written (a new target gets the mode the umask allows). A symbolic
/// link stays a link: the file at the end of its chain is replaced. Replacing splits hard links.
/// A target that exists but is not a regular file (a device, a pipe) is written in place.
/// Raises 76 for a missing folder, 70 when access is denied (a file the caller may not write,
/// or a folder it may not write into), 61 when the disk is full, 75 for a folder, 57 or 75 for
/// other failures, 7 when memory runs out.
QUENLO_EXPORT void WriteFileBytes(const std::string& Filename, std::string_view bytes);

/// UTF-8 text as Windows-1252 bytes; a character that Windows-1252 cannot hold, or a byte that
/// is not valid UTF-8, becomes "?". Raises 7 when memory runs out.
QUENLO_EXPORT std::string Utf8ToWindows1252(std::string_view text);

/// Windows-1252 bytes as UTF-8 text; the five bytes Windows-1252 leaves unassigned (81, 8D, 8F,
/// 90, 9D) become U+0081, U+008D, U+008F, U+0090 and U+009D. Raises 7 when memory runs out.
QUENLO_EXPORT std::string Windows1252ToUtf8(std::string_view bytes);

/// Whether every byte of `text` is ASCII: such a text is the same in Windows-1252 and UTF-8,
/// and needs no converted copy.
QUENLO_EXPORT bool IsAscii(std::string_view text) noexcept;

/// A Windows-1252 file read whole, as UTF-8 text.
QUENLO_EXPORT std::string ReadTextFile(const std::string& Filename);

/// Writes UTF-8 text to a file as Windows-1252, replacing it as WriteFileBytes does.
QUENLO_EXPORT void WriteTextFile(std::string_view text, const std::string& Filename);

}  // namespace quenlo
