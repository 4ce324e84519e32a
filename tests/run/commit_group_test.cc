// Staged records committed in groups give the file and the messages of one commit per record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
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
  // Through the seam every cursor closes on commit: the badge walk outlives many bursts (the
  // group with B17 is sent again record by record, without a commit of its own).
  auto grouped = run_with_group(work, "3", "", path);
  const std::string stats = read_file(work.root() / "stats.txt");
  EXPECT_GE(std::stoull(stats.substr(stats.find("commits: ") + 9)), 14u) << stats;
  EXPECT_TRUE(std::regex_match(stats, std::regex("statements: \\d+\nremembered: \\d+\nfetches: "
                                                 "\\d+\ncommits: \\d+\nmemory: \\d+ answers, "
                                                 "\\d+ bytes\n")))
      << stats;
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

// Sums the first number of every match of `pattern` in `text`.
std::uint64_t sum_of(const std::string& text, const std::string& pattern) {
  std::uint64_t sum = 0;
  std::regex re(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
    sum += std::stoull((*it)[1].str());
  }
  return sum;
}

// A trigger makes the store undo the whole transaction at one insert, or at every insert; a
// failed rollback breaks the staging connection; a trigger that adds a row makes the table hold
// more than was counted. What the batch prints, reports and writes always agrees.
TEST(CommitGroup, WhatIsCountedStagedIsWhatTheTableHolds) {
  TempStore store;
  testing::seed_two_clients(store);
  add_badges(store, 49);
  Workplace work(store);
  const std::string path = work.file("t.dat");
  testing::write_file(work.cwd() / "jobs", "QZDNL31P T01 " + path + " 1\n");
  struct Case {
    const char* group;
    const char* trigger;  // the trigger's condition and action
    const char* fault;
    int status;
    // Records the file lacks against a clean night; -1: previous file kept; -2: all.
    std::int64_t missing;
  };
  const Case cases[] = {
      {"1000", "", "", 0, 0},
      {"1000", "WHEN NEW.TmpStr LIKE '%B17 %' BEGIN SELECT RAISE(ROLLBACK, 'u')", "", 5, 1},
      {"3", "WHEN NEW.TmpStr LIKE '%B17 %' BEGIN SELECT RAISE(ROLLBACK, 'u')", "", 5, 1},
      {"3", "BEGIN SELECT RAISE(ROLLBACK, 'u')", "", 5, -2},
      {"3", "WHEN NEW.TmpStr LIKE '%B17 %' BEGIN SELECT RAISE(ABORT, 'u')", "rollback:1:HY000:10",
       3, -1},
      {"1000", "WHEN NEW.TmpStr LIKE '%B17 %' BEGIN INSERT INTO Kvx999Tmp VALUES (NEW.TmpUsr, 'x')",
       "", 3, -1},
  };
  std::uint64_t clean_records = 0, clean_statements = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.group) + " " + c.trigger + " " + c.fault);
    store.sql("KVXCORE", std::string("DROP TRIGGER IF EXISTS t;") +
                             (*c.trigger ? "CREATE TRIGGER t BEFORE INSERT ON Kvx999Tmp " +
                                               std::string(c.trigger) + "; END;"
                                         : ""));
    testing::write_file(path, "PREVIOUS");
    setenv("VARNOKLIS_COMMIT_GROUP", c.group, 1);
    auto r = work.run_batch(c.fault, {"jobs", "--report", "r.jsonl"});
    unsetenv("VARNOKLIS_COMMIT_GROUP");
    const std::string log = read_file(work.cwd() / "varnoklis-logs/latest/L0001-QZDNL31P-T01.log");
    const std::string report = read_file(work.cwd() / "r.jsonl");
    EXPECT_NE(report.find("\"status\":" + std::to_string(c.status) + ","), std::string::npos)
        << log;
    std::uint64_t records = sum_of(report, R"("records":(\d+))");
    std::uint64_t statements = sum_of(report, R"("statements":(\d+))");
    std::uint64_t printed = sum_of(log, R"(davon in Datei gestellt: (\d+))");
    if (clean_records == 0) {
      clean_records = records;
      clean_statements = statements;
      ASSERT_GT(records, 40u);
    }
    if (c.missing == -1) {
      EXPECT_EQ(read_file(path), "PREVIOUS");
      EXPECT_EQ(records, 0u);
    } else {
      EXPECT_EQ(records,
                c.missing == -2 ? 0 : clean_records - static_cast<std::uint64_t>(c.missing));
      EXPECT_EQ(printed, records);
      EXPECT_EQ(read_file(path).size(), records * kRecordLength);
    }
    // Every insert undone: one insert per record, as in a clean night, and a rollback per group.
    if (c.missing == -2) {
      EXPECT_LE(statements, clean_statements + 2);
    }
    if (c.status == kExitDatabase) {
      const std::string clean = std::to_string(clean_records);
      EXPECT_TRUE(log.ends_with(
          *c.fault ? "Insert-Error Kvx999Tmp! 31 weitere Saetze nicht gestellt "
                     "(Verbindung abgebrochen)\n"
                   : "Tab. Kvx999Tmp lieferte " + std::to_string(clean_records + 1) +
                         " Saetze, gestellt waren " + clean + "! Downloadfile " + path + "\n"))
          << log;
    }
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
