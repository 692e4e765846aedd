// Export and Import: Windows-1252 bytes on disk, whole-file reads, the errors of files, and how
// a file is replaced (modes, owners, links, planted names, a killed export).
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "quenlo/files.hpp"
#include "support/child_process.hpp"
#include "support/containers.hpp"
#include "support/sanitizers.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

namespace fs = std::filesystem;
using testing::ArrayOf;
using testing::ErrorNumberInChild;
using testing::ErrorNumberOfChild;
using testing::ErrorNumberUnprivileged;
using testing::ExpectError;
using testing::kNobody;
using testing::Make;
using testing::StartChild;

// Windows-1252 bytes on disk, whole-file reads and the error numbers of files.
class ExportImport : public testing::ScratchFolder {};

TEST_F(ExportImport, WritesAndReadsWindows1252Bytes) {
  const TavrixPtr queue = Make(KindQueue);
  queue->Push("\u00E9\u20AC\u4E2D\xFF");  // no Windows-1252 byte for the last two, \xFF not UTF-8
  queue->Export(Path("queue.qo"));
  EXPECT_EQ(Bytes("queue.qo"), "\\11000\\`\\8\\\xE9\x80??\xB4");
  const TavrixPtr read = Tavrix::Create();
  read->Import(Path("queue.qo"));
  EXPECT_EQ(read->GetObjectString(), "\\11000\\`\\8\\\u00E9\u20AC??\u00B4");

  // A large file is read whole, with every kind of line break.
  const std::string value =
      std::string(20000, 'a') + "\r" + std::string(10000, 'b') + "\r\nc\n" + std::string(5000, 'd') + "\r\n";
  ArrayOf({value})->Export(Path("large.qo"));
  read->Import(Path("large.qo"));
  EXPECT_IDENTICAL(read->Item(1), Variant(value));

  // The five unassigned bytes come back as the control characters of the same number.
  WriteFileBytes(Path("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
  read->Import(Path("c1.qo"));
  EXPECT_IDENTICAL(read->Item(1), Variant("\u0081\u008D\u008F\u0090\u009D"));
  read->Export(Path("c1.qo"));
  EXPECT_EQ(Bytes("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
}

// A tree with no text, a missing folder, a folder where the file should be and links that lead
// to each other fail before writing; a full disk fails halfway, here through a link, which stays.
TEST_F(ExportImport, AFailedExportLeavesTheFormerFileAndNothingBesideIt) {
  WriteFileBytes(Path("data.qo"), "former");
  fs::create_directory(folder_ / "dir.qo");
  fs::create_symlink(folder_ / "data.qo", folder_ / "link.qo");
  fs::create_symlink("b.qo", folder_ / "a.qo");
  fs::create_symlink("a.qo", folder_ / "b.qo");
  const TavrixPtr big = ArrayOf({std::string(100000, 'x')});
  EXPECT_EQ(ErrorNumberInChild([&] {
              testing::LimitFileSize(4096);
              big->Export(Path("link.qo"));
            }),
            61);
  ExpectError(9, [&] { Tavrix::Create()->Export(Path("data.qo")); });
  ExpectError(76, [&] { big->Export(Path("missing/data.qo")); });
  ExpectError(75, [&] { big->Export(Path("dir.qo")); });
  ExpectError(75, [&] { big->Export(Path("a.qo")); });
  EXPECT_EQ(Bytes("data.qo"), "former");
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.qo"));
  EXPECT_TRUE(fs::is_empty(folder_ / "dir.qo"));
  EXPECT_EQ(EntryCount(), 5);
}

TEST_F(ExportImport, RefusesFilesTheCallerMayNotWriteOrRead) {
  constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(folder_, fs::perms::all);  // anyone may write into the folder
  fs::create_directory(folder_ / "locked");
  WriteFileBytes(Path("read-only.qo"), "former");
  WriteFileBytes(Path("locked/data.qo"), "former");
  WriteFileBytes(Path("unreadable.qo"), "\\11000\\nil");
  fs::permissions(folder_ / "read-only.qo", kReadOnly);
  fs::permissions(folder_ / "locked",
                  kReadOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(folder_ / "unreadable.qo", fs::perms::none);

  // Replacing the file beside it would need no right to write the file itself.
  const TavrixPtr map = Make(KindMap);
  EXPECT_EQ(ErrorNumberUnprivileged([&] { map->Export(Path("read-only.qo")); }), 70);
  EXPECT_EQ(ErrorNumberUnprivileged([&] { map->Export(Path("locked/data.qo")); }), 70);
  EXPECT_EQ(ErrorNumberUnprivileged([&] { map->Import(Path("unreadable.qo")); }), 70);
  EXPECT_EQ(Bytes("read-only.qo"), "former");
  EXPECT_EQ(Bytes("locked/data.qo"), "former");
  EXPECT_EQ(EntryCount(), 3);
  fs::permissions(folder_ / "locked", fs::perms::all);
  EXPECT_EQ(EntryCount("locked"), 1);
}

TEST_F(ExportImport, ReportsFileErrorsAndKeepsTheContainer) {
  const TavrixPtr target = testing::MakeTarget();
  const std::string before = testing::State(*target);
  ExpectError(53, [&] { target->Import(Path("absent.qo")); });
  ExpectError(76, [&] { target->Import(Path("absent/absent.qo")); });
  ExpectError(75, [&] { target->Import(folder_.string()); });
  // A file empty or cut short inside a nested container.
  for (const auto& [bytes, number] :
       {std::pair<const char*, int>{"", 5}, {R"(\11000\{a: \11000\[\2\1)", 9}}) {
    WriteFileBytes(Path("cut.qo"), bytes);
    ExpectError(number, [&] { target->Import(Path("cut.qo")); });
  }
  EXPECT_EQ(testing::State(*target), before);
}

// The file is replaced by whole texts of two lengths while it is read again and again: every
// Import gives one whole tree, or fails and changes nothing. A text read halfway through its
// writing, or cut to the length of the other, would read as another tree.
TEST_F(ExportImport, ImportsAFileReplacedMeanwhileWhole) {
  const std::string texts[] = {ArrayOf({std::string(100000, 'a'), "b"})->GetObjectString(),
                               ArrayOf({std::string(300000, 'c'), "d"})->GetObjectString()};
  WriteFileBytes(Path("live.qo"), texts[0]);
  std::atomic<bool> reading = true;
  std::thread writer([&] {
    for (std::size_t turn = 1; reading; ++turn) WriteFileBytes(Path("live.qo"), texts[turn % 2]);
  });
  const TavrixPtr target = testing::MakeTarget();
  for (int run = 0; run < 300; ++run) {
    const std::string before = testing::State(*target);
    if (testing::ErrorNumberOf([&] { target->Import(Path("live.qo")); }) != 0) {
      EXPECT_EQ(testing::State(*target), before);
    } else {
      const std::string read = target->GetObjectString();
      EXPECT_TRUE(read == texts[0] || read == texts[1]) << "a text of " << read.size() << " bytes";
    }
  }
  reading = false;
  writer.join();
}

struct stat StatusOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status;
}

mode_t ModeOf(const std::string& path) {
  return StatusOf(path).st_mode & 07777;
}

using FileModesAndOwners = testing::ScratchFolder;

TEST_F(FileModesAndOwners, KeepTheTargetsModeAndGiveANewFileTheUmasksMode) {
  const TavrixPtr map = Make(KindMap);
  for (const mode_t mode : {0640u, 0755u, 0604u}) {
    WriteFileBytes(Path("data.qo"), "former");
    ASSERT_EQ(::chmod(Path("data.qo").c_str(), mode), 0);
    map->Export(Path("data.qo"));
    EXPECT_EQ(ModeOf(Path("data.qo")), mode);
  }
  const mode_t former_mask = ::umask(027);
  map->Export(Path("group.qo"));
  ::umask(077);
  map->Export(Path("private.qo"));
  ::umask(former_mask);
  EXPECT_EQ(ModeOf(Path("group.qo")), 0640u);
  EXPECT_EQ(ModeOf(Path("private.qo")), 0600u);
}

// Root replacing another user's file leaves it theirs, and its owner still reads and replaces
// it. A user who may write a file through its "others" rights but may not keep its owner or
// group: the new file is the writer's, its group gets no more than the others' rights, and no
// set-user-ID or set-group-ID bit passes to the writer. An owner outside the file's group keeps
// the file and its set-user-ID bit.
TEST_F(FileModesAndOwners, OwnersStayOrTheWriterGetsNoMoreThanItsRights) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs files of another user and group";
  fs::permissions(folder_, fs::perms::all);
  const auto write_owned = [&](const char* name, uid_t owner, gid_t group, mode_t mode) {
    WriteFileBytes(Path(name), "former");
    ASSERT_EQ(::chown(Path(name).c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(Path(name).c_str(), mode), 0);
  };
  write_owned("theirs.qo", kNobody, kNobody, 0600);
  Make(KindMap)->Export(Path("theirs.qo"));
  const struct stat theirs = StatusOf(Path("theirs.qo"));
  EXPECT_EQ(theirs.st_uid, static_cast<uid_t>(kNobody));
  EXPECT_EQ(theirs.st_gid, static_cast<gid_t>(kNobody));
  EXPECT_EQ(theirs.st_mode & 07777, 0600u);
  EXPECT_EQ(ErrorNumberUnprivileged([&] { Tavrix::Create()->Import(Path("theirs.qo")); }), 0);
  EXPECT_EQ(ErrorNumberUnprivileged([&] { Make(KindNil)->Export(Path("theirs.qo")); }), 0);
  EXPECT_EQ(Bytes("theirs.qo"), "\\11000\\nil");

  write_owned("shared.qo", 0, 0, 06642);  // rwSr-S-w-
  write_owned("own.qo", kNobody, 0, 04750);
  for (const char* name : {"shared.qo", "own.qo"}) {
    EXPECT_EQ(ErrorNumberUnprivileged([&] { Make(KindMap)->Export(Path(name)); }), 0);
    EXPECT_EQ(StatusOf(Path(name)).st_uid, static_cast<uid_t>(kNobody));
    EXPECT_EQ(Bytes(name), "\\11000\\{}");
  }
  EXPECT_EQ(ModeOf(Path("shared.qo")), 0622u);
  EXPECT_EQ(ModeOf(Path("own.qo")), 04700u);
}

using SymbolicLinks = testing::ScratchFolder;

TEST_F(SymbolicLinks, StayLinksWhileTheFileAtTheEndOfTheChainIsReplaced) {
  fs::create_directory(folder_ / "sub");
  WriteFileBytes(Path("data.qo"), "former");
  ASSERT_EQ(::chmod(Path("data.qo").c_str(), 0640), 0);
  const ino_t former_file = StatusOf(Path("data.qo")).st_ino;
  fs::create_symlink("../data.qo", folder_ / "sub/relative.qo");  // leads from its own folder
  fs::create_symlink(folder_ / "sub/relative.qo", folder_ / "absolute.qo");

  Make(KindNil)->Export(Path("absolute.qo"));
  EXPECT_EQ(fs::read_symlink(folder_ / "absolute.qo"), folder_ / "sub/relative.qo");
  EXPECT_EQ(fs::read_symlink(folder_ / "sub/relative.qo"), "../data.qo");
  EXPECT_EQ(Bytes("data.qo"), "\\11000\\nil");
  EXPECT_NE(StatusOf(Path("data.qo")).st_ino, former_file);  // replaced whole, not rewritten
  EXPECT_EQ(ModeOf(Path("data.qo")), 0640u);
  EXPECT_EQ(EntryCount(), 3);
  EXPECT_EQ(EntryCount("sub"), 1);

  // Replacing a file splits its hard links, as an editor's save does.
  fs::create_hard_link(folder_ / "data.qo", folder_ / "other.qo");
  Make(KindMap)->Export(Path("data.qo"));
  EXPECT_EQ(Bytes("other.qo"), "\\11000\\nil");
  EXPECT_EQ(Bytes("data.qo"), "\\11000\\{}");  // shorter, with no tail of the former text

  // A link to a file that is not there yet gets it.
  fs::create_symlink("new.qo", folder_ / "dangling.qo");
  Make(KindMap)->Export(Path("dangling.qo"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.qo"));
  EXPECT_EQ(Bytes("new.qo"), "\\11000\\{}");
}

// Where the system protects links in shared sticky folders, a link another user planted there
// is refused as the system refuses to follow it, and the file it leads to stays as it was.
TEST_F(SymbolicLinks, APlantedLinkTheSystemWouldNotFollowIsRefused) {
  std::string protection;
  std::ifstream("/proc/sys/fs/protected_symlinks") >> protection;
  if (::geteuid() != 0 || protection != "1") GTEST_SKIP() << "needs root and protected symbolic links";
  WriteFileBytes(Path("data.qo"), "former");
  fs::create_directory(folder_ / "shared");
  fs::permissions(folder_ / "shared", fs::perms::all | fs::perms::sticky_bit);
  fs::create_symlink(folder_ / "data.qo", folder_ / "shared/planted.qo");
  ASSERT_EQ(::lchown(Path("shared/planted.qo").c_str(), kNobody, kNobody), 0);
  ExpectError(70, [&] { Make(KindMap)->Export(Path("shared/planted.qo")); });
  EXPECT_EQ(Bytes("data.qo"), "former");
}

using FileBeside = testing::ScratchFolder;

// The names of the files created in a watched folder since the last call.
std::vector<std::string> CreatedNames(int watch) {
  std::vector<std::string> names;
  alignas(inotify_event) char buffer[65536];
  for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < got;) {
      inotify_event event{};
      std::memcpy(&event, buffer + at, sizeof event);
      if (event.len > 0) names.emplace_back(buffer + at + sizeof event);
      at += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
  return names;
}

// What someone who saw the names a process used would plant for a second process: the same
// names, with the first process's id replaced by the second's, each followed by the next 200
// numbers when it ends in a number.
std::set<std::string> Guesses(const std::vector<std::string>& seen, pid_t seen_process, pid_t next_process) {
  const std::string from = std::to_string(seen_process), to = std::to_string(next_process);
  std::set<std::string> guesses(seen.begin(), seen.end());
  for (std::string name : seen) {
    for (std::size_t at = 0; (at = name.find(from, at)) != std::string::npos; at += to.size()) {
      name.replace(at, from.size(), to);
    }
    guesses.insert(name);
    const std::size_t digits = name.find_last_not_of("0123456789") + 1;
    if (digits == name.size() || name.size() - digits > 18) continue;
    const unsigned long long number = std::stoull(name.substr(digits));
    for (unsigned long long next = 1; next < 200; ++next) {
      guesses.insert(name.substr(0, digits) + std::to_string(number + next));
    }
  }
  return guesses;
}

// A first process exports and its file names are watched; a second one, forked from the same
// state, exports after those names and the names guessed from them are planted, as files and as
// links to a file of the planter's choice. It still succeeds and writes nothing through them.
TEST_F(FileBeside, HasANameThatPlantedGuessesCannotTakeOrRedirect) {
  const TavrixPtr map = Make(KindMap);
  WriteFileBytes(Path("data.qo"), "former");
  WriteFileBytes(Path("victim.qo"), "victim");
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, folder_.c_str(), IN_CREATE), 0);
  const auto export_five_times = [&] {
    for (int time = 0; time < 5; ++time) map->Export(Path("data.qo"));
  };
  const pid_t first = StartChild(export_five_times);
  ASSERT_EQ(ErrorNumberOfChild(first), 0);
  const std::vector<std::string> seen = CreatedNames(watch);
  ::close(watch);
  ASSERT_EQ(seen.size(), 5u);

  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t second = StartChild([&] {
    char byte = 0;
    if (::read(go[0], &byte, 1) == 1) export_five_times();
  });
  const std::set<std::string> guesses = Guesses(seen, first, second);
  for (const std::string& guess : guesses) {
    if (guess.size() % 2 == 0) {
      std::ofstream(Path(guess)) << "planted";
    } else {
      fs::create_symlink(folder_ / "victim.qo", folder_ / guess);
    }
  }
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  ::close(go[0]);
  ::close(go[1]);
  EXPECT_EQ(ErrorNumberOfChild(second), 0);
  EXPECT_EQ(Bytes("data.qo"), "\\11000\\{}");
  EXPECT_EQ(Bytes("victim.qo"), "victim");
  EXPECT_EQ(EntryCount(), static_cast<std::ptrdiff_t>(guesses.size() + 2));
}

// A child exporting a large tree again and again over a file only its owner may read is killed
// once the file beside the target holds bytes: nothing left behind is readable by others, and
// what holds bytes already has the target's owner.
TEST_F(FileBeside, KilledDuringAnExportLeavesNothingReadableByOthers) {
  WriteFileBytes(Path("data.qo"), "former");
  ASSERT_EQ(::chmod(Path("data.qo").c_str(), 0600), 0);
  const uid_t owner = ::geteuid() == 0 ? static_cast<uid_t>(kNobody) : ::geteuid();
  ASSERT_TRUE(::geteuid() != 0 || ::chown(Path("data.qo").c_str(), owner, owner) == 0);
  const TavrixPtr big = ArrayOf({std::string(8 << 20, 'x'), std::string(8 << 20, 'y')});
  const auto holds_bytes_beside = [&] {
    return std::any_of(fs::directory_iterator(folder_), fs::directory_iterator(), [](const fs::path& path) {
      std::error_code gone;
      return path.filename() != "data.qo" && fs::file_size(path, gone) > 0 && !gone;
    });
  };
  bool killed_while_writing = false;
  for (int attempt = 0; attempt < 20 && !killed_while_writing; ++attempt) {
    const pid_t child = StartChild([&] {
      for (;;) big->Export(Path("data.qo"));
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!holds_bytes_beside() && std::chrono::steady_clock::now() < deadline) {
    }
    ::kill(child, SIGKILL);
    EXPECT_EQ(ErrorNumberOfChild(child), -1);
    const std::vector<fs::path> left(fs::directory_iterator(folder_), fs::directory_iterator{});
    for (const fs::path& path : left) {
      const struct stat status = StatusOf(path);
      EXPECT_EQ(status.st_mode & 077, 0u) << path;
      if (path.filename() == "data.qo") continue;
      EXPECT_TRUE(status.st_size == 0 || status.st_uid == owner) << path << " is " << status.st_uid << "'s";
      killed_while_writing = killed_while_writing || status.st_size > 0;
      fs::remove(path);
    }
  }
  EXPECT_TRUE(killed_while_writing);
}

// Each byte, at each place relative to the eight-byte steps of the ASCII scan, is told ASCII or
// not and converts to one character there and back to itself; a broken UTF-8 sequence anywhere
// becomes one "?".
TEST(Windows1252, EveryByteConvertsAtEveryAlignment) {
  constexpr std::size_t kSize = 20;
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t at = 0; at < kSize; ++at) {
      std::string bytes(kSize, 'a');
      bytes[at] = static_cast<char>(byte);
      EXPECT_EQ(IsAscii(bytes), byte < 0x80) << "byte " << byte << " at " << at;
      const std::string text = Windows1252ToUtf8(bytes);
      EXPECT_EQ(text, std::string(at, 'a') + Windows1252ToUtf8(bytes.substr(at, 1)) +
                          std::string(kSize - at - 1, 'a'));
      EXPECT_EQ(Utf8ToWindows1252(text), bytes) << "byte " << byte << " at " << at;
    }
  }
  for (std::size_t at = 0; at < kSize; ++at) {
    std::string text(kSize, 'a');
    text[at] = '\xE2';  // the first byte of a three-byte sequence, cut short
    EXPECT_EQ(Utf8ToWindows1252(text), std::string(at, 'a') + "?" + std::string(kSize - at - 1, 'a'));
  }
}

// In a child process: the address space may grow by `bytes` more.
void LimitAddressSpaceGrowth(rlim_t bytes) {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  const rlim_t size = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + bytes;
  const rlimit limit{size, size};
  ::setrlimit(RLIMIT_AS, &limit);
}

using Windows1252Memory = testing::ScratchFolder;

TEST_F(Windows1252Memory, ConversionsRaise7WhenMemoryRunsOut) {
  if (QUENLO_TEST_SANITIZED) GTEST_SKIP() << "AddressSanitizer reserves address space of its own";
  const std::string ascii(64 << 20, 'a'), accented(64 << 20, '\xE9');
  WriteFileBytes(Path("accented.qo"), accented);
  // Each call, and the given growth of the address space: the file is read whole, its
  // conversion to twice its size fails.
  const std::pair<std::function<void()>, rlim_t> calls[] = {
      {[&] { Utf8ToWindows1252(ascii); }, 16 << 20},
      {[&] { Windows1252ToUtf8(accented); }, 16 << 20},
      {[&] { Tavrix::Create()->Import(Path("accented.qo")); }, 100 << 20}};
  for (const auto& call : calls) {
    EXPECT_EQ(ErrorNumberInChild([&] {
                LimitAddressSpaceGrowth(call.second);
                call.first();
              }),
              7);
  }
}

}  // namespace
}  // namespace quenlo
