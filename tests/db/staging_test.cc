#include "db/staging.h"

#include <gtest/gtest.h>

#include "db/result_code.h"
#include "db/schemas.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::TempStore;

std::vector<std::string> read_back_all(Session& session, std::string_view path, int* last) {
  ReadBack read_back;
  std::vector<std::string> records;
  EXPECT_EQ(read_back.open(session, path), 0);
  std::string record;
  while ((*last = read_back.fetch(record)) == 0) records.push_back(record);
  read_back.close();
  return records;
}

TEST(Staging, RecordsComeBackSortedTrimmedAndUnchanged) {
  TempStore store;
  Session session;
  store.connect(session);
  const std::string path = "/dnl/it's here.dat";
  EXPECT_EQ(clear_staging(session, path), 0);  // no rows yet: still success
  for (std::string_view record : {"B second  \t", "A first", "B second", "O'Brien \"x\" %s %n ;,",
                                  " \t\n", "\xe4\xfc\x80\xff"}) {
    EXPECT_EQ(stage_record(session, path, record), 0);
  }
  std::string long_record(600, 'L');
  EXPECT_EQ(stage_record(session, path, long_record), 0);
  EXPECT_EQ(stage_record(session, "/other/path", "Z other"), 0);

  int last = 0;
  auto records = read_back_all(session, path, &last);
  EXPECT_EQ(last, kNoData);
  std::vector<std::string> expected = {"",
                                       "A first",
                                       "B second",
                                       "B second",
                                       std::string(512, 'L'),
                                       "O'Brien \"x\" %s %n ;,",
                                       "\xe4\xfc\x80\xff"};
  EXPECT_EQ(records, expected);

  EXPECT_EQ(clear_staging(session, path), 0);
  records = read_back_all(session, path, &last);
  EXPECT_TRUE(records.empty());
  EXPECT_EQ(read_back_all(session, "/other/path", &last), std::vector<std::string>{"Z other"});
}

TEST(Staging, ReadBackInPagesKeepsOrderAndEqualRecordsAcrossPageEnds) {
  TempStore store;
  // Three pages and a bit: equal records straddle the page ends, another path is interleaved.
  store.sql("KVXCORE",
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
            "1600) INSERT INTO Kvx999Tmp (TmpUsr, TmpStr) SELECT CASE WHEN i % 7 = 0 "
            "THEN 'other' ELSE 'p' END, printf('R%04d  ', i / 3) FROM n;");
  Session session;
  store.connect(session);
  int last = 0;
  auto records = read_back_all(session, "p", &last);
  EXPECT_EQ(last, kNoData);
  std::vector<std::string> expected;
  for (int i = 1; i <= 1600; ++i) {
    char text[16];
    std::snprintf(text, sizeof text, "R%04d", i / 3);
    if (i % 7 != 0) expected.push_back(text);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(records, expected);
  std::uint64_t before = session.counts().statements;
  read_back_all(session, "p", &last);
  EXPECT_EQ(session.counts().statements - before, 3u);  // 1372 records: pages of 500, 500, 372
}

TEST(Staging, FetchWithoutOpenAndFailedInsertsReportFailure) {
  TempStore store;
  Session session;
  store.connect(session);
  ReadBack read_back;
  std::string record = "unchanged";
  EXPECT_EQ(read_back.fetch(record), -1);
  read_back.close();
  EXPECT_EQ(record, "unchanged");

  store.sql("KVXCORE", "DROP TABLE Kvx999Tmp;");
  Session fresh;
  store.connect(fresh);
  EXPECT_NE(stage_record(fresh, "p", "r"), 0);
  EXPECT_EQ(clear_staging(fresh, "p"), -1);
  EXPECT_NE(read_back.open(fresh, "p"), 0);
  EXPECT_EQ(read_back.fetch(record), -1);
}

std::vector<std::string> names(Session& session, bool linked, std::string_view terminal) {
  SchemaList list;
  if (linked) {
    list.open_linked(session, terminal);
  } else {
    list.open_all(session);
  }
  std::vector<std::string> out;
  std::string name;
  while (list.fetch(name) == 0) out.push_back(name);
  list.close();
  EXPECT_EQ(list.fetch(name), -1);
  return out;
}

TEST(SchemaList, LinkedAndAllClientsFollowStatusAndConsolidationRules) {
  TempStore store;
  store.sql("KVXCORE", R"(
    INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum, MndSta) VALUES
      ('M1   ', 0, 1, 1, NULL), ('m2', 0, 1, 2, 0), ('M3', 1, 1, 3, NULL), ('M4', NULL, 1, 4, NULL),
      ('M5', 0, 1, 5, 4), ('M6', 0, 1, 6, 8), ('ABCDEFGHIJKLMNOPQRSTUVWXYZ', 0, 1, 7, 1),
      (NULL, 0, 1, 8, NULL);
    INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES
      ('T01', 1, 1, NULL), ('T01', 1, 1, 0), ('T01', 1, 2, 4), ('T01', 1, 3, NULL),
      ('T01', 1, 8, NULL), ('T02', 1, 2, 8);
  )");
  Session session;
  store.connect(session);
  EXPECT_EQ(names(session, true, "T01"), (std::vector<std::string>{"M1", "M1"}));
  EXPECT_TRUE(names(session, true, "T02").empty());
  EXPECT_TRUE(names(session, true, "x'OR'1'='1").empty());
  auto all = names(session, false, "");
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::string>{"ABCDEFGHIJKLMNOPQRST", "M1", "m2"}));
}

}  // namespace
}  // namespace varnoklis
