#include "run/download_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "db/staging.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::TempStore;
using testing::write_file;

class DownloadFileTest : public ::testing::Test {
 protected:
  void SetUp() override { store_.connect(session_); }
  void stage(const std::string& path, std::initializer_list<std::string_view> records) {
    for (auto record : records) ASSERT_EQ(stage_record(session_, path, record), 0);
  }
  TempStore store_;
  TempDir dir_;
  Session session_;
};

TEST_F(DownloadFileTest, FixedLengthRecordsArePaddedAndWrittenBackToBack) {
  std::string path = (dir_.path() / "t01.dat").string();
  write_file(path, "old content that is replaced");
  stage(path, {std::string(48, 'C'), "B" + std::string(38, 'b') + "E   ", "A short"});
  ASSERT_EQ(write_download_file(session_, path, {true, 48, false}), WriteResult::Written);
  std::string expected = "A short" + std::string(41, ' ') + "B" + std::string(38, 'b') + "E" +
                         std::string(8, ' ') + std::string(48, 'C');
  EXPECT_EQ(read_file(path), expected);
  EXPECT_EQ(std::filesystem::directory_iterator(dir_.path())->path(), path);  // no temp file left
}

TEST_F(DownloadFileTest, LinesEndInCrLfAndAppendAddsAfterOldContent) {
  std::string path = (dir_.path() / "ids.txt").string();
  stage(path, {"\"2\",\"x\"   ", "\"1\",\"y\""});
  ASSERT_EQ(write_download_file(session_, path, {true, 0, true}), WriteResult::Written);
  EXPECT_EQ(read_file(path), "\"1\",\"y\"\r\n\"2\",\"x\"\r\n");
  ASSERT_EQ(write_download_file(session_, path, {false, 0, true}), WriteResult::Written);
  EXPECT_EQ(read_file(path), "\"1\",\"y\"\r\n\"2\",\"x\"\r\n\"1\",\"y\"\r\n\"2\",\"x\"\r\n");
}

TEST_F(DownloadFileTest, NoRecordsEmptiesInModeNewAndLeavesFileInModeAppend) {
  std::string kept = (dir_.path() / "kept.dat").string();
  write_file(kept, "OLD");
  ASSERT_EQ(write_download_file(session_, kept, {false, 45, false}), WriteResult::Written);
  EXPECT_EQ(read_file(kept), "OLD");
  std::string created = (dir_.path() / "created.dat").string();
  ASSERT_EQ(write_download_file(session_, created, {false, 45, false}), WriteResult::Written);
  EXPECT_TRUE(std::filesystem::exists(created));
  EXPECT_EQ(read_file(created), "");
  ASSERT_EQ(write_download_file(session_, kept, {true, 45, false}), WriteResult::Written);
  EXPECT_EQ(read_file(kept), "");
}

TEST_F(DownloadFileTest, FailuresLeaveThePreviousFileAsItWas) {
  ::testing::internal::CaptureStdout();
  std::string missing_dir = (dir_.path() / "no" / "such" / "f.dat").string();
  EXPECT_EQ(write_download_file(session_, missing_dir, {true, 48, false}), WriteResult::OpenFailed);
  std::string folder = dir_.path().string();
  EXPECT_EQ(write_download_file(session_, folder, {true, 48, false}), WriteResult::OpenFailed);

  std::string path = (dir_.path() / "t.dat").string();
  write_file(path, "PREVIOUS");
  store_.sql("KVXCORE", "DROP TABLE Kvx999Tmp;");
  Session fresh;
  store_.connect(fresh);
  EXPECT_EQ(write_download_file(fresh, path, {true, 48, false}), WriteResult::ReadBackFailed);
  EXPECT_EQ(write_download_file(fresh, path, {false, 48, false}), WriteResult::ReadBackFailed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Downloadfile " + missing_dir + " konnte nicht geoeffnet werden!\n  Ordner " +
                (dir_.path() / "no" / "such").string() + ": No such file or directory\n" +
                "Downloadfile " + folder + " konnte nicht geoeffnet werden!\n  Datei " + folder +
                ": Is a directory\n" +
                "DB-Fehler Tab. Kvx999Tmp lesen! ErrNr: 1 SQLSTATE: HY000\n" +
                "Error Tab. Kvx999Tmp lesen! ErrNr: 1 User: " + path + "\n" +
                "DB-Fehler Tab. Kvx999Tmp lesen! ErrNr: 1 SQLSTATE: HY000\n" +
                "Error Tab. Kvx999Tmp lesen! ErrNr: 1 User: " + path + "\n");
  EXPECT_EQ(read_file(path), "PREVIOUS");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

// The path names what the operator set up, and the run writes into it: a symbolic link (also one
// whose target is still missing) stays a link and its target takes the records; a file with a
// second hard link is overwritten, so both names show the records; a FIFO stays a FIFO.
TEST_F(DownloadFileTest, TheFileThePathNamesIsWrittenAndStaysWhatItWas) {
  namespace fs = std::filesystem;
  const fs::path& dir = dir_.path();
  fs::create_directories(dir / "share");
  write_file(dir / "share" / "target.dat", "OLD");
  fs::create_symlink("share/target.dat", dir / "link.dat");
  fs::create_symlink(dir / "share" / "new.dat", dir / "dangling.dat");
  write_file(dir / "a.dat", "OLD");
  fs::create_hard_link(dir / "a.dat", dir / "b.dat");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::string records = std::string(48, 'A') + std::string(48, 'B');
  for (const char* name : {"link.dat", "dangling.dat", "a.dat", "fifo"}) {
    SCOPED_TRACE(name);
    std::string path = (dir / name).string();
    stage(path, {std::string(48, 'B'), std::string(48, 'A')});
    std::string fifo_content;
    std::thread reader;
    if (fs::is_fifo(path)) reader = std::thread([&] { fifo_content = read_file(path); });
    EXPECT_EQ(write_download_file(session_, path, {true, 48, false}), WriteResult::Written);
    if (reader.joinable()) {
      reader.join();
      EXPECT_EQ(fifo_content, records);
    }
  }
  EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.dat"));
  EXPECT_EQ(read_file(dir / "share" / "target.dat"), records);
  EXPECT_EQ(read_file(dir / "share" / "new.dat"), records);
  EXPECT_TRUE(fs::equivalent(dir / "a.dat", dir / "b.dat"));
  EXPECT_EQ(read_file(dir / "b.dat"), records);
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 6) << "no file left behind";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "share"), {}), 2);
}

// A file size limit makes the append fail for real after part of the records reached the file:
// the file is cut back to its old length, not below it.
TEST_F(DownloadFileTest, AFailedAppendKeepsTheOldContentWhole) {
  std::string path = (dir_.path() / "t.dat").string();
  const std::string old_content(3000, 'O');
  write_file(path, old_content);
  std::vector<std::string> records(42, std::string(48, 'R'));
  for (const std::string& record : records) ASSERT_EQ(stage_record(session_, path, record), 0);

  struct rlimit before {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit limited = before;
  limited.rlim_cur = 4096;
  auto handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  ::testing::internal::CaptureStdout();
  WriteResult result = write_download_file(session_, path, {false, 48, false});
  std::string output = ::testing::internal::GetCapturedStdout();
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);

  EXPECT_EQ(result, WriteResult::WriteFailed);
  EXPECT_EQ(output, "Downloadfile " + path + " konnte nicht geschrieben werden!\n  Datei " + path +
                        ": File too large\n");
  EXPECT_EQ(read_file(path), old_content);
}

TEST(ShapeRecord, PadsOnlyShortRecordsAndEndsEveryLineFeedWithCarriageReturn) {
  std::string record = "abc";
  shape_record(record, {true, 5, false});
  EXPECT_EQ(record, "abc  ");
  record = "abcdefg";
  shape_record(record, {true, 5, false});
  EXPECT_EQ(record, "abcdefg");
  record = "a\nb";
  shape_record(record, {true, 0, true});
  EXPECT_EQ(record, "a\r\nb");
  record = "ab";
  shape_record(record, {true, 0, true});
  EXPECT_EQ(record, "ab\r\n");
}

}  // namespace
}  // namespace varnoklis
