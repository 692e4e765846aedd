// Export and Import: Windows-1252 bytes on disk, replacing writes, whole-file reads, errors.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "quenlo/files.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/serial_support.hpp"

namespace quenlo {
namespace {

namespace fs = std::filesystem;
using serial_test::ExpectError;
using serial_test::MakeKind;

class ExportImport : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(folder_); }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  // The bytes on disk, read apart from the library's own file code.
  std::string Bytes(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  const fs::path folder_ = fs::temp_directory_path() / ("quenlo_serial_" + std::to_string(::getpid()));
};

TEST_F(ExportImport, WritesAndReadsWindows1252Bytes) {
  MakeKind(KindMap)->Export(Path("map.qo"));
  EXPECT_EQ(Bytes("map.qo"), "\\11000\\{}");
  MakeKind(KindNil)->Export(Path("nil.qo"));
  EXPECT_EQ(Bytes("nil.qo"), "\\11000\\nil");

  const TavrixPtr queue = MakeKind(KindQueue);
  queue->Push("\u00E9\u20AC\u4E2D\xFF");  // no Windows-1252 byte for the last two, \xFF not UTF-8
  queue->Export(Path("queue.qo"));
  EXPECT_EQ(Bytes("queue.qo"), "\\11000\\`\\8\\\xE9\x80??\xB4");
  const TavrixPtr read = Tavrix::Create();
  read->Import(Path("queue.qo"));
  EXPECT_EQ(read->GetObjectString(), "\\11000\\`\\8\\\u00E9\u20AC??\u00B4");

  // The five unassigned bytes come back as the control characters of the same number.
  WriteFileBytes(Path("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
  read->Import(Path("c1.qo"));
  EXPECT_EQ(read->Item(1), Variant("\u0081\u008D\u008F\u0090\u009D"));
  read->Export(Path("c1.qo"));
  EXPECT_EQ(Bytes("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
}

TEST_F(ExportImport, ReplacesTheFileOnlyWithTheWholeNewText) {
  serial_test::ArrayOf({std::string(1000, 'x')})->Export(Path("data.qo"));
  MakeKind(KindMap)->Export(Path("data.qo"));
  EXPECT_EQ(Bytes("data.qo"), "\\11000\\{}");  // no older tail

  WriteFileBytes(Path("data.qo"), "former");
  ExpectError(9, [&] { Tavrix::Create()->Export(Path("data.qo")); });  // no text: no file touched
  // A write that fails halfway (the file size limit here) leaves the former file and no other.
  const TavrixPtr big = serial_test::ArrayOf({std::string(100000, 'x')});
  rlimit former_limit{};
  ::getrlimit(RLIMIT_FSIZE, &former_limit);
  const auto former_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small_limit = former_limit;
  small_limit.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small_limit);
  ExpectError(61, [&] { big->Export(Path("data.qo")); });
  ::setrlimit(RLIMIT_FSIZE, &former_limit);
  std::signal(SIGXFSZ, former_handler);
  EXPECT_EQ(Bytes("data.qo"), "former");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
  ExpectError(76, [&] { big->Export(Path("missing/data.qo")); });

  // What is not a regular file is written in place: a link stays, the file behind it changes.
  fs::create_symlink(folder_ / "data.qo", folder_ / "link.qo");
  MakeKind(KindNil)->Export(Path("link.qo"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.qo"));
  EXPECT_EQ(Bytes("data.qo"), "\\11000\\nil");
}

TEST_F(ExportImport, ReadsALargeFileWholeWithEveryLineBreak) {
  const std::string value =
      std::string(20000, 'a') + "\r" + std::string(10000, 'b') + "\r\nc\n" + std::string(5000, 'd') + "\r\n";
  const TavrixPtr array = serial_test::ArrayOf({value});
  array->Export(Path("large.qo"));
  ASSERT_GT(fs::file_size(Path("large.qo")), 32000u);
  EXPECT_EQ(Bytes("large.qo"), array->GetObjectString());
  const TavrixPtr read = Tavrix::Create();
  read->Import(Path("large.qo"));
  EXPECT_EQ(read->Item(1), Variant(value));
}

TEST_F(ExportImport, ReportsFileErrorsAndKeepsTheContainer) {
  const TavrixPtr target = serial_test::MakeTarget();
  const std::string before = serial_test::State(*target);
  ExpectError(53, [&] { target->Import(Path("absent.qo")); });
  ExpectError(76, [&] { target->Import(Path("absent/absent.qo")); });
  ExpectError(75, [&] { target->Import(folder_.string()); });
  WriteFileBytes(Path("empty.qo"), "");
  ExpectError(5, [&] { target->Import(Path("empty.qo")); });
  WriteFileBytes(Path("bad.qo"), "\\11000\\{a: \\2\\1, a: \\2\\2}");
  ExpectError(457, [&] { target->Import(Path("bad.qo")); });
  EXPECT_EQ(serial_test::State(*target), before);
}

}  // namespace
}  // namespace quenlo
