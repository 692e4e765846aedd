// Export and Import: Windows-1252 bytes on disk, replacing writes, whole-file reads, errors.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
using serial_test::MakeTarget;
using serial_test::Snapshot;

class ExportImport : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("quenlo_serial_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_ / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(folder_, ignored);
  }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  static std::string Bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  static void Store(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::size_t EntriesInFolder() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
};

TEST_F(ExportImport, WritesWindows1252Bytes) {
  MakeKind(KindMap)->Export(Path("map.qo"));
  EXPECT_EQ(Bytes(Path("map.qo")), "\\11000\\{}");
  MakeKind(KindNil)->Export(Path("nil.qo"));
  EXPECT_EQ(Bytes(Path("nil.qo")), "\\11000\\nil");

  const TavrixPtr queue = MakeKind(KindQueue);
  queue->Push("\u00E9\u20AC\u4E2D");
  queue->Export(Path("queue.qo"));
  EXPECT_EQ(Bytes(Path("queue.qo")), "\\11000\\`\\8\\\xE9\x80?\xB4");

  const TavrixPtr read = Tavrix::Create();
  read->Import(Path("queue.qo"));
  EXPECT_EQ(read->Kind(), KindQueue);
  EXPECT_EQ(read->Pop(), Variant("\u00E9\u20AC?"));
}

TEST_F(ExportImport, ImportsTheFiveUnassignedBytesAsControlCharacters) {
  Store(Path("c1.qo"), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
  const TavrixPtr read = Tavrix::Create();
  read->Import(Path("c1.qo"));
  EXPECT_EQ(read->Item(1), Variant("\u0081\u008D\u008F\u0090\u009D"));
  read->Export(Path("c1.qo"));
  EXPECT_EQ(Bytes(Path("c1.qo")), "\\11000\\[\\8\\\x81\x8D\x8F\x90\x9D]");
  EXPECT_EQ(Utf8ToWindows1252("a\xFF"
                              "b"),
            "a?b");  // a byte that is not UTF-8
}

TEST_F(ExportImport, AShorterExportLeavesNoOlderTail) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  for (int index = 0; index < 100; ++index) array->AddLast(index);
  array->Export(Path("data.qo"));
  MakeKind(KindMap)->Export(Path("data.qo"));
  EXPECT_EQ(Bytes(Path("data.qo")), "\\11000\\{}");
  EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(ExportImport, AFailedExportLeavesTheFormerFile) {
  Store(Path("data.qo"), "former");
  ExpectError(9, [&] { Tavrix::Create()->Export(Path("data.qo")); });  // no text: no file touched
  EXPECT_EQ(Bytes(Path("data.qo")), "former");

  // A write that fails halfway (the file size limit here) leaves the former file and no other.
  const TavrixPtr big = MakeKind(KindUnboundedArray);
  big->AddLast(std::string(100000, 'x'));
  rlimit former_limit{};
  ::getrlimit(RLIMIT_FSIZE, &former_limit);
  const auto former_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small_limit = former_limit;
  small_limit.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small_limit);
  ExpectError(61, [&] { big->Export(Path("data.qo")); });
  ::setrlimit(RLIMIT_FSIZE, &former_limit);
  std::signal(SIGXFSZ, former_handler);
  EXPECT_EQ(Bytes(Path("data.qo")), "former");
  EXPECT_EQ(EntriesInFolder(), 1u);

  ExpectError(76, [&] { big->Export(Path("missing/data.qo")); });
  if (::geteuid() != 0) {  // permissions do not stop the superuser
    fs::create_directory(folder_ / "locked");
    Store(Path("locked/data.qo"), "former");
    fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    ExpectError(70, [&] { big->Export(Path("locked/data.qo")); });
    EXPECT_EQ(Bytes(Path("locked/data.qo")), "former");
  }
}

TEST_F(ExportImport, WritesInPlaceWhatIsNotARegularFile) {
  ExpectError(61, [] { MakeKind(KindMap)->Export("/dev/full"); });
  MakeKind(KindMap)->Export("/dev/null");

  Store(Path("target.qo"), "former");
  fs::create_symlink(folder_ / "target.qo", folder_ / "link.qo");
  MakeKind(KindNil)->Export(Path("link.qo"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.qo"));
  EXPECT_EQ(Bytes(Path("target.qo")), "\\11000\\nil");
}

TEST_F(ExportImport, ReadsALargeFileWholeWithEveryLineBreak) {
  const std::string value = std::string(20000, 'a') + "\r" + std::string(10000, 'b') + "\r\n" + "c\n" +
                            std::string(5000, 'd') + "\r\n";
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(value);
  array->Export(Path("large.qo"));
  ASSERT_GT(fs::file_size(Path("large.qo")), 32000u);
  const TavrixPtr read = Tavrix::Create();
  read->Import(Path("large.qo"));
  EXPECT_EQ(read->Item(1), Variant(value));
  EXPECT_EQ(ReadFileBytes(Path("large.qo")), array->GetObjectString());
}

TEST_F(ExportImport, ReportsFileErrorsAndKeepsTheContainer) {
  const TavrixPtr target = MakeTarget();
  const Snapshot before(*target);
  ExpectError(53, [&] { target->Import(Path("absent.qo")); });
  ExpectError(76, [&] { target->Import(Path("absent/absent.qo")); });
  ExpectError(75, [&] { target->Import(folder_.string()); });
  Store(Path("empty.qo"), "");
  ExpectError(5, [&] { target->Import(Path("empty.qo")); });
  Store(Path("bad.qo"), "\\11000\\{a: \\2\\1, a: \\2\\2}");
  ExpectError(457, [&] { target->Import(Path("bad.qo")); });
  EXPECT_TRUE(Snapshot(*target) == before);
}

}  // namespace
}  // namespace quenlo
