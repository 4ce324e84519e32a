#include "run/download_file.h"

#include <gtest/gtest.h>

#include <filesystem>

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
            "Downloadfile " + missing_dir + " konnte nicht geoeffnet werden!\n" + "Downloadfile " +
                folder + " konnte nicht geoeffnet werden!\n" +
                "DB-Fehler Tab. Kvx999Tmp lesen! ErrNr: 1 SQLSTATE: HY000\n" +
                "Error Tab. Kvx999Tmp lesen! ErrNr: 1 User: " + path + "\n" +
                "DB-Fehler Tab. Kvx999Tmp lesen! ErrNr: 1 SQLSTATE: HY000\n" +
                "Error Tab. Kvx999Tmp lesen! ErrNr: 1 User: " + path + "\n");
  EXPECT_EQ(read_file(path), "PREVIOUS");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);
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
