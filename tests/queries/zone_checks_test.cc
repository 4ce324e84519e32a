#include "queries/zone_checks.h"

#include <gtest/gtest.h>

#include <string>

#include "db/result_code.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::TempStore;

class ZoneCheckTest : public ::testing::Test {
 protected:
  // Class `class_code` in a row whose zone slots are preset to two blanks.
  BadgeRow row_with_class(const std::string& class_code) {
    BadgeRow row;
    row.clear();
    row.class_code = class_code;
    for (auto& slot : row.zone) slot = "  ";
    return row;
  }
  static std::string slots(const BadgeRow& row) {
    std::string out;
    for (const auto& slot : row.zone) out += slot + "|";
    return out;
  }
  int zone_check(BadgeRow& row, const char* terminal, long highest, bool mark) {
    std::uint64_t before = session_.counts().statements;
    int result = reader_zone_check(session_, row, terminal, highest, mark);
    statements_ = session_.counts().statements - before;
    return result;
  }
  TempStore store_;
  Session session_;
  std::uint64_t statements_ = 0;
};

TEST_F(ZoneCheckTest, AccessThroughAnyReaderUpToTheLimit) {
  store_.sql("KVXCORE",
             "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES "
             "('T01', 1, 'Z1', NULL), ('T01', 2, 'Z2', 0), ('T01', 3, 'Z3', NULL), "
             "('T01', 5, 'Z5', 4), ('T01', 6, 'Z6', 8), "
             "('T02', 0, 'Z0', NULL), ('T02', 11, 'Z11', NULL), ('T02', 12, 'Z12', NULL), "
             "('T02', 33, 'Z33', NULL);\n"
             "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES "
             "('5', 'Z2', 1, NULL), ('6', 'Z5', 1, NULL), ('6', 'Z6', 1, NULL), "
             "('7', 'Z1', 1, 4), ('7', 'Z3', 1, 8), ('8', 'Z0', 1, NULL), ('9', 'Z33', 1, NULL), "
             "('0', 'Z3', 1, NULL), ('12', 'Z12', 1, 1);");
  store_.connect(session_);

  BadgeRow row = row_with_class("5  ");
  EXPECT_EQ(zone_check(row, "T01", 11, true), 1);
  EXPECT_EQ(slots(row), "01|02|03|  |  |  |  |  |  |  |  |");
  EXPECT_EQ(statements_, 3u);  // the readers, then counts for Z1 and Z2 only

  row = row_with_class("5  ");
  EXPECT_EQ(zone_check(row, "T01", 1, true), 0);
  EXPECT_EQ(slots(row), "01|  |  |  |  |  |  |  |  |  |  |");

  row = row_with_class("5  ");
  EXPECT_EQ(zone_check(row, "T01", 32, false), 1);
  EXPECT_EQ(slots(row), "  |  |  |  |  |  |  |  |  |  |  |");

  // Inactive readers and inactive authorizations grant nothing.
  row = row_with_class("6  ");
  EXPECT_EQ(zone_check(row, "T01", 32, true), 0);
  row = row_with_class("7  ");
  EXPECT_EQ(zone_check(row, "T01", 32, true), 0);

  // Reader 0 is counted but has no slot; readers above 11 have none either; 33 is past the limit.
  row = row_with_class("8  ");
  EXPECT_EQ(zone_check(row, "T02", 32, true), 1);
  EXPECT_EQ(slots(row), "  |  |  |  |  |  |  |  |  |  |11|");
  row = row_with_class("12 ");
  EXPECT_EQ(zone_check(row, "T02", 32, true), 1);
  row = row_with_class("9  ");
  EXPECT_EQ(zone_check(row, "T02", 32, true), 0);
  EXPECT_EQ(zone_check(row, "T02", 33, true), 1);

  // The unresolved class is a class text like any other.
  row = row_with_class(kUnresolvedClass);
  EXPECT_EQ(zone_check(row, "T01", 32, false), 1);
  row = row_with_class("5  ");
  EXPECT_EQ(zone_check(row, "NONE", 32, true), 0);
  EXPECT_EQ(slots(row), "  |  |  |  |  |  |  |  |  |  |  |");
}

TEST_F(ZoneCheckTest, Reader1CheckLooksForTypeThreeAtReaderOne) {
  store_.sql("KVXCORE",
             "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES "
             "('T01', 1, 'Z1', NULL), ('T01', 2, 'Z2', NULL), "
             "('T02', 2, 'Z1', NULL), ('T02', 3, 'Z1', NULL), "
             "('T03', 0, 'Z0', NULL), ('T03', 1, 'Z1', NULL), ('T04', 1, 'Z1', 8);\n"
             "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES "
             "('3', 'Z1', 3, NULL), ('1', 'Z1', 1, NULL), ('2', 'Z2', 3, NULL), "
             "('4', 'Z1', 3, 4), ('3', 'Z0', 3, NULL), ('0', 'Z0', 3, NULL);");
  store_.connect(session_);
  auto check = [&](const char* class_code, const char* terminal) {
    BadgeRow row;
    row.clear();
    row.class_code = class_code;
    return reader1_check(session_, row, terminal);
  };
  EXPECT_EQ(check("3  ", "T01"), 0);
  EXPECT_EQ(check("1  ", "T01"), 1);  // authorized at reader 1, but not with type 3
  EXPECT_EQ(check("2  ", "T01"), 1);  // type 3 only behind reader 2
  EXPECT_EQ(check("4  ", "T01"), 1);  // inactive authorization
  EXPECT_EQ(check("3  ", "T02"), 1);  // no reader 1
  EXPECT_EQ(check("0  ", "T03"), 1);  // reader 0 is passed over
  EXPECT_EQ(check("3  ", "T03"), 0);
  EXPECT_EQ(check("3  ", "T04"), 1);  // inactive reader 1
  EXPECT_EQ(check("3  ", "NONE"), 1);
}

TEST_F(ZoneCheckTest, CursorAndCountsReportTheirResults) {
  store_.sql("KVXCORE",
             "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES "
             "('T01', 2, 'ZONE-LONG  ', NULL), ('T01', 1, NULL, NULL);\n"
             "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('5', 'Z1', 3), "
             "('5', 'Z1', 1);");
  store_.connect(session_);
  ReaderCursor readers;
  std::int32_t reader = -5;
  std::string zone = "x";
  EXPECT_EQ(readers.fetch(reader, zone), -1);
  ASSERT_EQ(readers.open(session_, "T01", 2), 0);
  ASSERT_EQ(readers.fetch(reader, zone), 0);
  EXPECT_EQ(reader, 1);
  EXPECT_EQ(zone, "");
  ASSERT_EQ(readers.fetch(reader, zone), 0);
  EXPECT_EQ(reader, 2);
  EXPECT_EQ(zone, "ZONE-");
  EXPECT_EQ(readers.fetch(reader, zone), kNoData);
  readers.close();

  std::int32_t count = -1;
  EXPECT_EQ(count_zone_authorizations(session_, "Z1", "5  ", count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(count_type3_authorizations(session_, "Z1", "5  ", count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(count_zone_authorizations(session_, "Z'1", "5", count), 0);
  EXPECT_EQ(count, 0);

  store_.sql("KVXCORE", "DROP TABLE Kvx404Zbr;");
  Session broken;
  store_.connect(broken);
  count = 9;
  EXPECT_EQ(count_zone_authorizations(broken, "Z1", "5", count), -1);
  EXPECT_EQ(count, 9);
  BadgeRow row;
  row.clear();
  row.class_code = "5  ";
  EXPECT_EQ(reader_zone_check(broken, row, "T01", 32, false), 0);
  EXPECT_EQ(reader1_check(broken, row, "T01"), 1);
}

}  // namespace
}  // namespace varnoklis
