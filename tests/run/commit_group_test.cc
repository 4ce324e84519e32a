// Staged records committed in groups give the file and the messages of one commit per record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempStore;
using testing::Workplace;

constexpr std::size_t kRecordLength = 48;  // QZDNL31P

// More badges of the first client, B10 to B`last`, so that a run sends many bursts.
void add_badges(const TempStore& store, int last) {
  const std::string numbers = "WITH RECURSIVE c(k) AS (SELECT 10 UNION ALL SELECT k + 1 FROM c " +
                              ("WHERE k < " + std::to_string(last) + ") ");
  store.sql("KVXCORE",
            numbers +
                "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswLiz, "
                "AswMnd) SELECT 'B' || k, AswGvo, AswGbi, AswPnr, AswBkl, AswLiz, AswMnd "
                "FROM Kvx301Asw, c WHERE AswNum = 'A1' AND AswMnd = 1; " +
                numbers + "INSERT INTO Kvx113Awv (AwvNum, AwvSto) SELECT 'B' || k, 'L1' FROM c;");
}

testing::RunResult run_with_group(const Workplace& work, const char* group,
                                  const std::string& fault, const std::string& path) {
  setenv("VARNOKLIS_COMMIT_GROUP", group, 1);
  auto r = work.run_faulty(fault, work.root() / "stats.txt", {"QZDNL31P", "T01", path, "1"});
  unsetenv("VARNOKLIS_COMMIT_GROUP");
  return r;
}

// Cuts `from` up to the end of the record after "String: " out of `text`; returns the cut.
std::string cut_insert_error(std::string& text, const std::string& from) {
  std::size_t start = text.find(from);
  if (start == std::string::npos) return {};
  std::size_t end = text.find("String: ", start) + 8 + kRecordLength;
  std::string cut = text.substr(start, end - start);
  text.erase(start, end - start);
  return cut;
}

TEST(CommitGroup, GroupsOfThreeGiveTheFileAndMessagesOfSingleCommits) {
  TempStore store;
  testing::seed_two_clients(store);
  add_badges(store, 49);
  store.sql("KVXCORE",
            "CREATE TRIGGER refuse BEFORE INSERT ON Kvx999Tmp WHEN NEW.TmpStr LIKE '%B17 %' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  Workplace work(store);
  const std::string path = work.file("t.dat");
  auto single = run_with_group(work, "1", "", path);
  const std::string single_file = read_file(path);
  EXPECT_EQ(single.status, kExitRecordsMissing);
  // Through the seam every cursor closes on commit: the badge walk outlives many bursts.
  auto grouped = run_with_group(work, "3", "", path);
  const std::string stats = read_file(work.root() / "stats.txt");
  EXPECT_GE(std::stoull(stats.substr(stats.find("commits: ") + 9)), 15u) << stats;
  EXPECT_EQ(read_file(path), single_file);
  const std::string refused = "DB-Fehler Tab. Kvx999Tmp einfuegen! Ausweis: B17 ErrNr: 19";
  std::string cut = cut_insert_error(single.output, refused);
  ASSERT_FALSE(cut.empty()) << single.output;
  EXPECT_EQ(cut_insert_error(grouped.output, refused), cut);
  EXPECT_EQ(grouped.output + std::to_string(grouped.status), single.output + "5");

  // A commit that fails names the three records of its group; none of them reaches the file.
  auto failed = run_with_group(work, "3", "commit:2:42000:999", path);
  EXPECT_EQ(failed.status, kExitRecordsMissing);
  std::string rest = failed.output.substr(failed.output.find(
      "DB-Fehler Tab. Kvx999Tmp festschreiben! ErrNr: 999 SQLSTATE: 42000\nInsert-Error"));
  for (int i = 0; i < 3; ++i) {
    std::string named = cut_insert_error(rest, "Insert-Error Kvx999Tmp! ErrNr: 999User: " + path);
    EXPECT_EQ(read_file(path).find(named.substr(named.size() - kRecordLength)), std::string::npos);
  }
  EXPECT_EQ(read_file(path).size(), single_file.size() - 3 * kRecordLength);

  for (const char* wrong : {"0", "1001", "3x", " 3"}) {
    auto r = run_with_group(work, wrong, "", path);
    EXPECT_EQ(r.output + std::to_string(r.status),
              "VARNOKLIS_COMMIT_GROUP ungueltig (1 bis 1000): " + std::string(wrong) + "\n1");
  }
}

// Two runs for different paths at the same time each write their own exact file, while their
// bursts take turns at the store's write lock, with a rollback journal and in WAL mode.
TEST(CommitGroup, TwoRunsAtOnceEachWriteTheirOwnFile) {
  TempStore store;
  testing::seed_two_clients(store);
  add_badges(store, 400);
  Workplace work(store);
  const std::string wal = read_file(store.odbc_ini());
  std::string rollback = wal;
  rollback.replace(rollback.find("JournalMode=WAL\nSyncPragma=NORMAL"), 33,
                   "JournalMode=DELETE\nSyncPragma=FULL");
  const std::string first = work.file("first.dat"), second = work.file("second.dat");
  setenv("VARNOKLIS_COMMIT_GROUP", "7", 1);
  for (const std::string& source : {rollback, wal}) {
    testing::write_file(store.odbc_ini(), source);
    auto alone = work.run({"QZDNL31P", "T01", first, "1"});
    const std::string expected = read_file(first);
    testing::RunResult other;
    std::thread beside([&] { other = work.run({"QZDNL31P", "T01", second, "1"}); });
    auto r = work.run({"QZDNL31P", "T01", first, "1"});
    beside.join();
    EXPECT_EQ(r.output + std::to_string(r.status), alone.output + "0");
    EXPECT_EQ(other.output + std::to_string(other.status), alone.output + "0");
    EXPECT_EQ(read_file(first) + "|" + read_file(second), expected + "|" + expected);
  }
  unsetenv("VARNOKLIS_COMMIT_GROUP");
}

}  // namespace
}  // namespace varnoklis
