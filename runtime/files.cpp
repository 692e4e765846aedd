// File services on POSIX: whole-file reads, replacing writes, Windows-1252 text, and the
// runtime error numbers of file failures.
#include "quenlo/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#include "quenlo/error.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

// Code points of the bytes 80 to 9F in Windows-1252; the five unassigned bytes stand for the
// C1 control character of the same number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOfByte(unsigned char byte) noexcept {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

// The Windows-1252 byte of a code point, or '?' when it has none.
char ByteOfCodePoint(char32_t code_point) noexcept {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) return static_cast<char>(code_point);
  for (std::size_t index = 0; index < kHighControls.size(); ++index) {
    if (kHighControls[index] == code_point) return static_cast<char>(0x80 + index);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {  // Windows-1252 holds nothing beyond the Basic Multilingual Plane
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// Decodes the UTF-8 sequence at `at`; an invalid sequence is one byte long and has no code point.
struct Decoded {
  std::size_t size;
  bool valid;
  char32_t code_point;
};

Decoded DecodeUtf8(std::string_view text, std::size_t at) noexcept {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {1, true, lead};
  std::size_t size = 0;
  char32_t code_point = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2, code_point = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3, code_point = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4, code_point = lead & 0x07u, minimum = 0x10000;
  } else {
    return {1, false, 0};
  }
  if (at + size > text.size()) return {1, false, 0};
  for (std::size_t index = 1; index < size; ++index) {
    const auto next = static_cast<unsigned char>(text[at + index]);
    if ((next & 0xC0) != 0x80) return {1, false, 0};
    code_point = (code_point << 6) | (next & 0x3Fu);
  }
  if (code_point < minimum || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return {1, false, 0};
  }
  return {size, true, code_point};
}

// The runtime error number of a failed file operation.
std::int32_t FileErrorNumber(int error) noexcept {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return err::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return err::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return err::kDiskFull;
    case EIO:
      return err::kDeviceIOError;
    default:
      return err::kPathFileAccessError;
  }
}

[[noreturn]] void RaiseFileError(int error) {
  RaiseRuntimeError(FileErrorNumber(error));
}

// A name that is missing: file not found when its folder exists, else path not found.
[[noreturn]] void RaiseMissing(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  struct stat status {};
  const bool folder_exists = ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
  RaiseRuntimeError(folder_exists ? err::kFileNotFound : err::kPathNotFound);
}

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) noexcept : descriptor_(descriptor) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  int Get() const noexcept { return descriptor_; }
  // Closes now, reporting the failure that a delayed write may only show here.
  int Close() noexcept {
    const int result = ::close(descriptor_);
    descriptor_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int descriptor_;
};

// Writes every byte; returns 0 or the errno of the failure.
int WriteAll(int descriptor, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

void WriteInPlace(const std::string& name, std::string_view bytes) {
  FileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.Get() < 0) RaiseFileError(errno);
  if (const int error = WriteAll(file.Get(), bytes); error != 0) RaiseFileError(error);
  if (const int error = file.Close(); error != 0) RaiseFileError(error);
}

// Opens a new file beside `name` for the replacement; fills `beside` with its name.
int OpenBeside(const std::string& name, std::string& beside) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    beside = name + ".quenlo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int descriptor = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

// Writes the content beside the target, then renames it over the target. `former` is the
// target's status when it exists; the new file keeps its permissions.
void WriteBesideAndRename(const std::string& name, std::string_view bytes, const struct stat* former) {
  std::string beside;
  FileDescriptor file(OpenBeside(name, beside));
  if (file.Get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) RaiseRuntimeError(err::kPathNotFound);
    RaiseFileError(errno);
  }
  int error = WriteAll(file.Get(), bytes);
  if (error == 0 && former != nullptr && ::fchmod(file.Get(), former->st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (const int close_error = file.Close(); error == 0) error = close_error;
  if (error == 0 && ::rename(beside.c_str(), name.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(beside.c_str());
    RaiseFileError(error);
  }
}

}  // namespace

std::string ReadFileBytes(const std::string& Filename) {
  return TranslateErrors([&] {
    if (Filename.empty()) RaiseRuntimeError(err::kPathFileAccessError);
    FileDescriptor file(::open(Filename.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
      if (errno == ENOENT) RaiseMissing(Filename);
      RaiseFileError(errno);
    }
    std::string bytes;
    struct stat status {};
    if (::fstat(file.Get(), &status) == 0 && S_ISREG(status.st_mode)) {
      bytes.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        RaiseFileError(errno);
      }
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
  });
}

void WriteFileBytes(const std::string& Filename, std::string_view bytes) {
  TranslateErrors([&] {
    if (Filename.empty()) RaiseRuntimeError(err::kPathFileAccessError);
    struct stat status {};
    if (::lstat(Filename.c_str(), &status) != 0) {
      WriteBesideAndRename(Filename, bytes, nullptr);
    } else if (S_ISREG(status.st_mode)) {
      // The rename needs no right to write the file itself: a file the caller may not write
      // is refused, as writing it in place would be.
      if (::faccessat(AT_FDCWD, Filename.c_str(), W_OK, AT_EACCESS) != 0) RaiseFileError(errno);
      WriteBesideAndRename(Filename, bytes, &status);
    } else {
      WriteInPlace(Filename, bytes);
    }
  });
}

std::string Utf8ToWindows1252(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Decoded decoded = DecodeUtf8(text, at);
    bytes += decoded.valid ? ByteOfCodePoint(decoded.code_point) : '?';
    at += decoded.size;
  }
  return bytes;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) AppendUtf8(text, CodePointOfByte(static_cast<unsigned char>(byte)));
  return text;
}

std::string ReadTextFile(const std::string& Filename) {
  return Windows1252ToUtf8(ReadFileBytes(Filename));
}

void WriteTextFile(std::string_view text, const std::string& Filename) {
  WriteFileBytes(Filename, Utf8ToWindows1252(text));
}

}  // namespace quenlo
