// Export and Import: Windows-1252 bytes on disk, replacing writes, whole-file reads, errors.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "quenlo/files.hpp"
#include "support/child_process.hpp"
#include "support/containers.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

namespace fs = std::filesystem;
using testing::ErrorNumberUnprivileged;
using testing::ExpectError;
using testing::Make;

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
  testing::ArrayOf({value})->Export(Path("large.qo"));
  read->Import(Path("large.qo"));
  EXPECT_IDENTICAL(read->Item(1), Variant(value));

  // The five unassigned bytes come back as the control characters of the same number.
  WriteFileBytes(Path("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
  read->Import(Path("c1.qo"));
  EXPECT_IDENTICAL(read->Item(1), Variant("\u0081\u008D\u008F\u0090\u009D"));
  read->Export(Path("c1.qo"));
  EXPECT_EQ(Bytes("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
}

TEST_F(ExportImport, AFailedExportLeavesTheFormerFileAndNothingBesideIt) {
  // A tree with no text, a missing folder or a folder where the file should be fail before
  // writing; a full disk is tried with a symbolic link.
  WriteFileBytes(Path("data.qo"), "former");
  fs::create_directory(folder_ / "dir.qo");
  const TavrixPtr big = testing::ArrayOf({std::string(100000, 'x')});
  ExpectError(9, [&] { Tavrix::Create()->Export(Path("data.qo")); });
  ExpectError(76, [&] { big->Export(Path("missing/data.qo")); });
  ExpectError(75, [&] { big->Export(Path("dir.qo")); });
  EXPECT_EQ(Bytes("data.qo"), "former");
  EXPECT_TRUE(fs::is_empty(folder_ / "dir.qo"));
  EXPECT_EQ(EntryCount(), 2);
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
  const std::string texts[] = {testing::ArrayOf({std::string(100000, 'a'), "b"})->GetObjectString(),
                               testing::ArrayOf({std::string(300000, 'c'), "d"})->GetObjectString()};
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

}  // namespace
}  // namespace quenlo
