// Answering repeated questions from memory must not change a byte: every download function runs
// with memory on and off, on the demo store and on a generated store whose badges share
// persons, classes, groups and locations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/e2e.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempStore;
using testing::Workplace;

using testing::load_demo;

// Every third badge takes the person of the badge before it, every seventh gets a second
// location, and the groups already repeat every 40 badges.
void load_shared(const TempStore& store) {
  std::string command = "\"" + std::string(VARNOKLIS_SOURCE_DIR) + "/scripts/make-store\" \"" +
                        store.folder().string() + "\" 400 2";
  ASSERT_EQ(std::system(command.c_str()), 0);
  store.sql("KVXCORE",
            "UPDATE Kvx301Asw SET AswPnr = printf('P%07d', CAST(AswNum AS INTEGER) - 1)"
            "  WHERE CAST(AswNum AS INTEGER) % 3 = 0;"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto) SELECT AwvNum, '7' FROM Kvx113Awv"
            "  WHERE CAST(AwvNum AS INTEGER) % 7 = 0;");
}

struct Outputs {
  std::string text;
  std::string files;
};

Outputs run_all(const Workplace& work, const std::vector<std::vector<std::string>>& runs,
                bool memory) {
  if (memory) {
    unsetenv("VARNOKLIS_NO_MEMORY");
  } else {
    setenv("VARNOKLIS_NO_MEMORY", "1", 1);
  }
  Outputs out;
  for (std::vector<std::string> run : runs) {
    std::string path = work.file(run[0] + "-" + run[1] + ".dat");
    run.insert(run.end(), {path, "1"});
    auto r = work.run(run);
    out.text += run[0] + " " + run[1] + " " + std::to_string(r.status) + "\n" + r.output;
    out.files += read_file(path);
  }
  unsetenv("VARNOKLIS_NO_MEMORY");
  return out;
}

TEST(Memory, FilesAndMessagesAreTheSameWithAndWithoutIt) {
  const std::vector<std::string> keywords = {"QZDNL17P", "QZDNL18P", "QZDNL31P", "QZDNL60P",
                                             "IDSTAMM"};
  for (bool demo : {true, false}) {
    SCOPED_TRACE(demo ? "demo store" : "generated store");
    TempStore store;
    demo ? load_demo(store) : load_shared(store);
    Workplace work(store);
    std::vector<std::vector<std::string>> runs;
    for (const std::string& keyword : keywords) runs.push_back({keyword, "T01"});
    if (demo)
      runs.insert(runs.end(), {{"QZDNL18P", "T02"}, {"QZDNL18P", "T03"}, {"QZDNL17P", "T04"}});
    Outputs on = run_all(work, runs, true);
    Outputs off = run_all(work, runs, false);
    EXPECT_EQ(on.text, off.text);
    EXPECT_EQ(on.files, off.files);
    EXPECT_GT(on.files.size(), 1000u);
  }
}

// A badge group's class changes at midnight. The clock moves a day ahead after the third of
// eight badges is staged: with memory or without, the later badges carry the new day's class.
TEST(Memory, AnswersOfYesterdayAreAskedAgainAfterMidnight) {
  TempStore store;
  store.sql("KVXCORE",
            "INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum) VALUES ('MANDANT1', 0, 1, 1);"
            "INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T01', 1, 1);"
            "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES ('T01', 1, 'Z1');"
            "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('OLD', 'Z1', 1), "
            "('NEW', 'Z1', 1);"
            "WITH n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 8) "
            "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswGrp, AswLiz, AswMnd) "
            "SELECT 'B' || i, date('now', 'localtime', '-10 days'), 'P' || i, '0', 'G1', 1, 1 "
            "FROM n;"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto) SELECT AswNum, 'L1' FROM Kvx301Asw;");
  store.add_client("MANDANT1");
  store.sql("MANDANT1",
            "INSERT INTO Kvx408Bzu (BzuZau, BzuGvo, BzuGbi, BzuBkl) VALUES ('G1', NULL, "
            "date('now', 'localtime'), 'OLD'), ('G1', date('now', 'localtime', "
            "'+1 day'), NULL, 'NEW');");
  Workplace work(store);
  setenv("LD_PRELOAD", VARNOKLIS_BINARY_DIR "/libvarnoklis-midnight.so", 1);
  setenv("VARNOKLIS_MIDNIGHT_AFTER", "3", 1);
  // Each record is sent as it is built, so the clock moves in the middle of the badge walk.
  setenv("VARNOKLIS_COMMIT_GROUP", "1", 1);
  const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
  Outputs on = run_all(work, {{"QZDNL31P", "T01"}}, true);
  Outputs off = run_all(work, {{"QZDNL31P", "T01"}}, false);
  for (const char* name : {"LD_PRELOAD", "VARNOKLIS_MIDNIGHT_AFTER", "VARNOKLIS_COMMIT_GROUP"}) {
    unsetenv(name);
  }
  setenv("ASAN_OPTIONS", asan.c_str(), 1);
  EXPECT_EQ(on.text, off.text);
  EXPECT_EQ(on.files, off.files);
  EXPECT_NE(on.files.find("OLD"), std::string::npos);
  EXPECT_NE(on.files.find("NEW"), std::string::npos);
}

}  // namespace
}  // namespace varnoklis
