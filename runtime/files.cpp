// File services on POSIX: whole-file reads, replacing writes, Windows-1252 text, and the
// runtime error numbers of file failures.
#include "quenlo/files.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "quenlo/error.hpp"
#include "runtime/characters.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

// Code points of the bytes 80 to 9F in Windows-1252; the five unassigned bytes stand for the
// C1 control character of the same number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t CodePointOfByte(unsigned char byte) noexcept {
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

// The UTF-8 form of a byte from 80 to FF: two bytes, or three for the characters beyond U+07FF
// that the bytes 80 to 9F stand for.
struct Utf8Form {
  std::array<char, 3> bytes;
  std::size_t size;
};

constexpr Utf8Form Utf8FormOf(char32_t code_point) noexcept {
  if (code_point < 0x800) {
    return {{static_cast<char>(0xC0 | (code_point >> 6)), static_cast<char>(0x80 | (code_point & 0x3F)), 0},
            2};
  }
  return {{static_cast<char>(0xE0 | (code_point >> 12)), static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)),
           static_cast<char>(0x80 | (code_point & 0x3F))},
          3};
}

constexpr std::array<Utf8Form, 128> kUtf8OfHighByte = [] {
  std::array<Utf8Form, 128> forms{};
  for (std::size_t index = 0; index < forms.size(); ++index) {
    forms[index] = Utf8FormOf(CodePointOfByte(static_cast<unsigned char>(0x80 + index)));
  }
  return forms;
}();

constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The length of the run of ASCII bytes at the start of `text`, looked at eight bytes at a time.
std::size_t AsciiRunLength(std::string_view text) noexcept {
  std::size_t length = 0;
  for (std::uint64_t word = 0; length + sizeof word <= text.size(); length += sizeof word) {
    std::memcpy(&word, text.data() + length, sizeof word);
    if ((word & kHighBits) != 0) break;
  }
  while (length < text.size() && static_cast<unsigned char>(text[length]) < 0x80) ++length;
  return length;
}

// Copies the run of ASCII bytes at the start of `from` to `to`, eight bytes at a time, and
// returns its length; `to` has room for as many bytes as `from` holds.
std::size_t CopyAsciiRun(std::string_view from, char* to) noexcept {
  std::size_t length = 0;
  for (std::uint64_t word = 0; length + sizeof word <= from.size(); length += sizeof word) {
    std::memcpy(&word, from.data() + length, sizeof word);
    if ((word & kHighBits) != 0) break;
    std::memcpy(to + length, &word, sizeof word);
  }
  for (; length < from.size() && static_cast<unsigned char>(from[length]) < 0x80; ++length)
    to[length] = from[length];
  return length;
}

// The UTF-8 size of Windows-1252 bytes.
std::size_t Utf8SizeOf(std::string_view bytes) noexcept {
  std::size_t size = bytes.size();
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    at += AsciiRunLength(bytes.substr(at));
    if (at == bytes.size()) break;
    size += kUtf8OfHighByte[static_cast<unsigned char>(bytes[at]) - 0x80].size - 1;
  }
  return size;
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

// The folder part of a path, with its final slash: "" for a name in the current folder.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Where a write of `name` lands: the end of its chain of symbolic links, so that the links stay.
// A relative link leads from the folder that holds it.
std::string ResolveLinks(const std::string& name) {
  // Following the name as the system does first refuses what the system refuses to follow: a
  // link another user planted in a shared sticky folder such as /tmp, where links are protected.
  if (struct stat followed{}; ::stat(name.c_str(), &followed) != 0 && errno != ENOENT) RaiseFileError(errno);
  constexpr int kMaxLinks = 40;  // as the kernel allows in one path
  std::string path = name;
  for (int link = 0; link < kMaxLinks; ++link) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    std::array<char, PATH_MAX> target{};
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
    if (size < 0) RaiseFileError(errno);
    if (static_cast<std::size_t>(size) == target.size()) RaiseFileError(ENAMETOOLONG);
    const std::string_view leads_to(target.data(), static_cast<std::size_t>(size));
    path = leads_to.front() == '/' ? std::string(leads_to) : FolderOf(path) + std::string(leads_to);
  }
  RaiseFileError(ELOOP);
}

// 64 random bits as hexadecimal: a name nobody can plant in advance.
std::string RandomHex() {
  std::array<unsigned char, 8> random{};
  std::size_t got = 0;
  while (got < random.size()) {
    const ssize_t size = ::getrandom(random.data() + got, random.size() - got, 0);
    if (size < 0) {
      if (errno == EINTR) continue;
      RaiseFileError(errno);
    }
    got += static_cast<std::size_t>(size);
  }
  constexpr std::string_view kDigits = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : random) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

// Creates a new file in `folder`, which only its owner may read, under a random name that did
// not exist (O_EXCL: a planted file or link is never opened); fills `beside` with its name.
int CreateBeside(const std::string& folder, std::string& beside) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    beside = folder + ".quenlo-" + RandomHex();
    const int descriptor = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) return descriptor;
    if (errno != EEXIST) RaiseFileError(errno);
  }
  RaiseFileError(EEXIST);
}

// The process's file mode creation mask, or none when the system does not tell it: reading it
// with umask() would change it for a moment under every other thread. Without it a new file
// stays readable by its owner alone.
std::optional<mode_t> CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) != 0) continue;
    const std::size_t digits = line.find_first_not_of(" \t", 6);
    unsigned mask = 0;
    const char* end = line.data() + line.size();
    if (digits == std::string::npos || std::from_chars(line.data() + digits, end, mask, 8).ptr != end) break;
    return static_cast<mode_t>(mask);
  }
  return std::nullopt;
}

// Gives the new file the former file's owner and group where this process may set them, and
// returns the mode the new file is to have: the former file's, or a new file's usual mode.
mode_t TakeOverOwnerAndGroup(int descriptor, const struct stat* former) {
  if (former == nullptr) return 0666 & ~CurrentUmask().value_or(077);
  mode_t mode = former->st_mode & 07777;
  if (::fchown(descriptor, former->st_uid, static_cast<gid_t>(-1)) != 0) {
    mode &= ~mode_t{S_ISUID};  // never a set-user-ID file of another owner
  }
  if (::fchown(descriptor, static_cast<uid_t>(-1), former->st_gid) != 0) {
    // The file's group is one whose members were "others" to the former file: they get no more
    // than the others' rights.
    mode = (mode & ~mode_t{S_ISGID | S_IRWXG}) | ((mode & S_IRWXO) << 3);
  }
  return mode;
}

// Writes the content to a new file beside the target, then renames it over the target, so
// that readers see the former content or the whole new one. `former` is the target's status
// when it exists. The new file is readable by its owner alone from its creation and has the
// target's owner, group and mode before a byte is written (the owner and group first, since
// changing them clears the set-ID bits).
void ReplaceFile(const std::string& target, std::string_view bytes, const struct stat* former) {
  std::string beside;
  FileDescriptor file(CreateBeside(FolderOf(target), beside));
  const mode_t mode = TakeOverOwnerAndGroup(file.Get(), former);
  int error = ::fchmod(file.Get(), mode) == 0 ? 0 : errno;
  if (error == 0) error = WriteAll(file.Get(), bytes);
  // A write without root's rights clears the set-ID bits again: they are set once more.
  if (error == 0 && (mode & (S_ISUID | S_ISGID)) != 0 && ::fchmod(file.Get(), mode) != 0) error = errno;
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (const int close_error = file.Close(); error == 0) error = close_error;
  if (error == 0 && ::rename(beside.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(beside.c_str());
    RaiseFileError(error);
  }
}

// Reads up to `size` bytes into `into`: how many came, 0 at the end of the file.
std::size_t ReadSome(int file, char* into, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(file, into, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) RaiseFileError(errno);
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
    // The bytes the file says it has are read straight into their place; what it has beyond
    // them (it grew, or is not a regular file) comes in steps.
    struct stat status {};
    const bool sized = ::fstat(file.Get(), &status) == 0 && S_ISREG(status.st_mode);
    const std::size_t expected = sized ? static_cast<std::size_t>(status.st_size) : 0;
    std::string bytes;
    bytes.reserve(expected + kRoomBeyondFileBytes);
    bytes.resize(expected);
    std::size_t filled = 0;
    while (filled < expected) {
      const std::size_t got = ReadSome(file.Get(), bytes.data() + filled, expected - filled);
      if (got == 0) break;
      filled += got;
    }
    bytes.resize(filled);
    if (filled == expected) {
      char buffer[65536];
      while (const std::size_t got = ReadSome(file.Get(), buffer, sizeof buffer)) bytes.append(buffer, got);
    }
    return bytes;
  });
}

void WriteFileBytes(const std::string& Filename, std::string_view bytes) {
  TranslateErrors([&] {
    if (Filename.empty()) RaiseRuntimeError(err::kPathFileAccessError);
    const std::string target = ResolveLinks(Filename);
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0) {
      if (errno != ENOENT) RaiseFileError(errno);
      ReplaceFile(target, bytes, nullptr);
    } else if (S_ISREG(status.st_mode)) {
      // The rename needs no right to write the file itself: a file the caller may not write
      // is refused, as writing it in place would be.
      if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) RaiseFileError(errno);
      ReplaceFile(target, bytes, &status);
    } else {
      WriteInPlace(target, bytes);
    }
  });
}

// Every character is one byte in Windows-1252, so the UTF-8 text's size bounds the output.
std::string Utf8ToWindows1252(std::string_view text) {
  return TranslateErrors([&] {
    std::string bytes(text.size(), '\0');
    char* out = bytes.data();
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t run = CopyAsciiRun(text.substr(at), out);
      out += run;
      at += run;
      if (at == text.size()) break;
      const Utf8Character decoded = DecodeUtf8(text.substr(at));
      *out++ = decoded.valid ? ByteOfCodePoint(decoded.code_point) : '?';
      at += decoded.size;
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
  });
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  return TranslateErrors([&] {
    std::string text(Utf8SizeOf(bytes), '\0');
    char* out = text.data();
    for (std::size_t at = 0; at < bytes.size(); ++at) {
      const std::size_t run = CopyAsciiRun(bytes.substr(at), out);
      out += run;
      at += run;
      if (at == bytes.size()) break;
      const Utf8Form& form = kUtf8OfHighByte[static_cast<unsigned char>(bytes[at]) - 0x80];
      std::memcpy(out, form.bytes.data(), form.size);
      out += form.size;
    }
    return text;
  });
}

bool IsAscii(std::string_view text) noexcept {
  return AsciiRunLength(text) == text.size();
}

std::string ReadTextFile(const std::string& Filename) {
  std::string bytes = ReadFileBytes(Filename);
  if (IsAscii(bytes)) return bytes;
  return Windows1252ToUtf8(bytes);
}

void WriteTextFile(std::string_view text, const std::string& Filename) {
  if (IsAscii(text)) return WriteFileBytes(Filename, text);
  WriteFileBytes(Filename, Utf8ToWindows1252(text));
}

}  // namespace quenlo
