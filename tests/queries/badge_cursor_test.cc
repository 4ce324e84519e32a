#include "queries/badge_cursor.h"

#include <gtest/gtest.h>

#include <string>

#include "db/result_code.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::local_date;
using testing::local_day_text;
using testing::TempStore;

// The badge slots of a row, '|'-separated, one line per badge.
std::string badge_slots(const BadgeRow& row) {
  return row.badge_number + "|" + row.valid_from + "|" + row.valid_to + "|" + row.location_number +
         "|" + row.person_number + "|" + row.class_code + "|" + row.badge_group + "|" +
         row.badge_type + "\n";
}

std::string fetch_all(Session& session, std::string_view schema) {
  BadgeCursor cursor;
  EXPECT_EQ(cursor.open(session, schema), 0) << session.diagnostics().message;
  BadgeRow row;
  row.clear();
  std::string out;
  int rc;
  while ((rc = cursor.fetch(row)) == 0) {
    out += badge_slots(row);
    row.clear();
  }
  EXPECT_EQ(rc, kNoData);
  cursor.close();
  return out;
}

// A badge of client 1/1 at location 1, valid from `from` to `to` (SQL literals).
std::string badge(const std::string& number, const std::string& from, const std::string& to,
                  const std::string& status = "NULL") {
  return "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAtp, AswLiz, "
         "AswMnd, AswSta) VALUES ('" +
         number + "', " + from + ", " + to + ", 'P1', '5', 'G1', 2, 1, 1, " + status +
         ");\nINSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES ('" + number +
         "', '1', NULL);\n";
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

class BadgeCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.sql("KVXCORE",
               "INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum) VALUES ('MANDANT1', 0, 1, "
               "1), ('MANDANT2', 0, 1, 2);");
  }
  TempStore store_;
  Session session_;
};

TEST_F(BadgeCursorTest, ValidityWindowAtItsEdges) {
  std::string today = quoted(local_date(0));
  std::string yesterday = quoted(local_date(-1));
  std::string tomorrow = quoted(local_date(1));
  std::string past = quoted(local_date(-30));
  store_.sql("KVXCORE", badge("A01", today, "NULL") + badge("A02", past, yesterday) +
                            badge("A03", "NULL", "NULL") + badge("A04", "NULL", today) +
                            badge("A05", past, "NULL") + badge("A06", tomorrow, "NULL") +
                            badge("A07", "NULL", yesterday) + badge("A08", past, today) +
                            badge("A09", quoted(local_date(0) + " 10:00:00"), "NULL") +
                            badge("A10", past, quoted(local_date(0) + " 10:00:00")) +
                            badge("A11", today, today));
  store_.connect(session_);
  std::string d0 = local_day_text(0), p = local_day_text(-30);
  EXPECT_EQ(fetch_all(session_, "MANDANT1"),
            "A01|" + d0 + "||00000001|P1|5  |G1|2\n" + "A04||" + d0 + "|00000001|P1|5  |G1|2\n" +
                "A05|" + p + "||00000001|P1|5  |G1|2\n" + "A08|" + p + "|" + d0 +
                "|00000001|P1|5  |G1|2\n" + "A10|" + p + "|" + d0 + "|00000001|P1|5  |G1|2\n" +
                "A11|" + d0 + "|" + d0 + "|00000001|P1|5  |G1|2\n");
}

TEST_F(BadgeCursorTest, StatusLocationsAndSlotFormats) {
  std::string past = quoted(local_date(-30));
  std::string long_number(55, 'L');
  store_.sql(
      "KVXCORE",
      badge("B04", past, "NULL", "4") + badge("B08", past, "NULL", "8") +
          badge("B00", past, "NULL", "0") + badge("B01", past, "NULL", "1") +
          // Two locations, one inactive location row, another client's badge.
          "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswGrp, AswAtp, AswLiz, AswMnd)"
          " VALUES ('C1', " +
          past + ", 'P7', '12', 'GRP1', 7, 1, 1), ('C2  ', " + past +
          ", NULL, NULL, NULL, NULL, 1, 1), ('C3', " + past + ", 'P3', '0', 'G', 0, 1, 1), ('" +
          long_number + "', " + past + ", 'P9', '12345', 'G', 99, 1, 1), ('X1', " + past +
          ", 'P1', '1', 'G', 1, 1, 2);\n"
          "INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES ('C1', '12', NULL), "
          "('C1', '100000', 0), ('C1', '7', 4), ('C1', '9', 8), ('C2', NULL, NULL), "
          "('C3', '3', 8), ('" +
          long_number + "', '12345678', NULL), ('X1', '1', NULL);");
  store_.connect(session_);
  std::string p = local_day_text(-30);
  EXPECT_EQ(fetch_all(session_, "MANDANT1"),
            "B00|" + p + "||00000001|P1|5  |G1|2\n" + "B01|" + p + "||00000001|P1|5  |G1|2\n" +
                "C1|" + p + "||00000012|P7|12 |GRP1|7\n" + "C1|" + p +
                "||00100000|P7|12 |GRP1|7\n" + "C2|" + p + "||00000000||   ||0\n" +
                std::string(50, 'L') + "|" + p + "||12345678|P9|12345|G|99\n");
  EXPECT_EQ(fetch_all(session_, "MANDANT2"), "X1|" + p + "||00000001|P1|1  |G|1\n");
  EXPECT_EQ(fetch_all(session_, "NOSUCH"), "");
}

// The store compares schema names as the production server does: a client stored in lower case
// with trailing blanks is the client MANDANT1 that run control visits.
TEST_F(BadgeCursorTest, SchemaNameComparesWithoutLetterCaseOrTrailingBlanks) {
  store_.sql("KVXCORE", "UPDATE Kvx112Mnd SET MndSch = 'mandant1  ' WHERE MndNum = 1;" +
                            badge("A1", quoted(local_date(-1)), "NULL"));
  store_.connect(session_);
  EXPECT_EQ(fetch_all(session_, "MANDANT1"),
            "A1|" + local_day_text(-1) + "||00000001|P1|5  |G1|2\n");
  EXPECT_EQ(fetch_all(session_, "MANDANT1X"), "");
}

TEST_F(BadgeCursorTest, FetchOutsideAnOpenCursorAndAfterTheEnd) {
  store_.sql("KVXCORE", badge("A1", quoted(local_date(-1)), "NULL"));
  store_.connect(session_);
  BadgeCursor cursor;
  BadgeRow row;
  row.clear();
  EXPECT_EQ(cursor.fetch(row), -1);
  ASSERT_EQ(cursor.open(session_, "MANDANT1"), 0);
  ASSERT_EQ(cursor.fetch(row), 0);
  row.balance_set = "kept";
  EXPECT_EQ(cursor.fetch(row), kNoData);
  EXPECT_EQ(badge_slots(row), "A1|" + local_day_text(-1) + "||00000001|P1|5  |G1|2\n");
  EXPECT_EQ(row.balance_set, "kept");
  cursor.close();
  cursor.close();
  EXPECT_EQ(cursor.fetch(row), -1);

  store_.sql("KVXCORE", "DROP TABLE Kvx113Awv;");
  Session broken;
  store_.connect(broken);
  EXPECT_NE(cursor.open(broken, "MANDANT1"), 0);
  EXPECT_EQ(cursor.fetch(row), -1);
}

}  // namespace
}  // namespace varnoklis
