#include "queries/day_balances.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

#include "queries/client_store.h"
#include "queries/number_text.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::local_date;

std::string minutes(std::int32_t value) {
  std::string text = "stale";
  format_minutes(value, text);
  return text;
}

TEST(NumberText, MinutesSwitchTheLeadAt600And6000InBothDirections) {
  EXPECT_EQ(minutes(0), "  0,00 ");
  EXPECT_EQ(minutes(65), "  1,05 ");
  EXPECT_EQ(minutes(330), "  5,30 ");
  EXPECT_EQ(minutes(599), "  9,59 ");
  EXPECT_EQ(minutes(600), " 10,00 ");
  EXPECT_EQ(minutes(754), " 12,34 ");
  EXPECT_EQ(minutes(5999), " 99,59 ");
  EXPECT_EQ(minutes(6000), "100,00 ");
  EXPECT_EQ(minutes(59999), "999,59 ");
  EXPECT_EQ(minutes(-1), "  0,01-");
  EXPECT_EQ(minutes(-59), "  0,59-");
  EXPECT_EQ(minutes(-599), "  9,59-");
  EXPECT_EQ(minutes(-600), " 10,00-");
  EXPECT_EQ(minutes(-5999), " 99,59-");
  EXPECT_EQ(minutes(-6000), "100,00-");
  EXPECT_EQ(minutes(-59999), "999,59-");
}

TEST(NumberText, MinutesFrom1000HoursShowTheOverflowMarkAndKeepTheSign) {
  EXPECT_EQ(minutes(60000), "****** ");
  EXPECT_EQ(minutes(-60000), "******-");
  EXPECT_EQ(minutes(INT_MAX), "****** ");
  EXPECT_EQ(minutes(INT_MIN), "******-");
}

class DayBalancesStore : public testing::ClientStore {
 protected:
  std::string rows() const override {
    return "INSERT INTO Kvx300Pnr (PnrNum, PnrSta) VALUES ('P1', NULL), ('P2', 8), "
           "('P3', 0), ('P4', 1);"
           "INSERT INTO Kvx320Tgb (TgbPnr, TgbZtr, TgbDtm, TgbVt1, TgbSa1, TgbVt2, TgbSa2, "
           "TgbVt3, TgbSa3, TgbVt4, TgbSa4, TgbVt5, TgbSa5, TgbVt6, TgbSa6, TgbVt7, TgbSa7) "
           "VALUES ('P1', 1, '" +
           local_date(-1) +
           "', 300, 30, -100, 55, 754, 0, -6000, 0, "
           "599, 0, 0, 6000, 0, 0),"
           "('P1', 2, '" +
           local_date(-1) +
           "', 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1),"
           "('P1', 1, '" +
           local_date(0) +
           "', 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2),"
           "('P2', 1, '" +
           local_date(-1) +
           "', 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5),"
           "('P3', 1, '" +
           local_date(-1) +
           "', NULL, 90, 60, NULL, NULL, NULL, NULL, NULL,"
           " NULL, NULL, NULL, NULL, NULL, NULL),"
           "('P4', 1, '" +
           local_date(0) +
           "', 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7),"
           "('P4', 1, '" +
           local_date(-2) + "', 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8);";
  }

  // Reads the balances of `person` into a row whose texts hold a marker beforehand.
  int read(const std::string& person) {
    row_.clear();
    row_.person_number = person;
    for (std::string& text : row_.day_balance) text = "kept";
    return read_day_balances(session_, row_);
  }

  std::array<std::string, 9> untouched() const {
    std::array<std::string, 9> texts;
    texts.fill("kept");
    return texts;
  }
};

TEST_F(DayBalancesStore, OnlyYesterdaysRecordOfKindOneCountsAndSumsAreTheDatabases) {
  ASSERT_EQ(read("P1"), 0);
  EXPECT_EQ(row_.day_balance,
            (std::array<std::string, 9>{"  5,30 ", "  0,45-", " 12,34 ", "100,00-", "  9,59 ",
                                        "100,00 ", "  0,00 ", "  4,45 ", " 11,49 "}));
}

TEST_F(DayBalancesStore, NullMinuteColumnsCountAsZeroInTheirFiguresAndSums) {
  ASSERT_EQ(read("P3"), 0);
  EXPECT_EQ(row_.day_balance,
            (std::array<std::string, 9>{"  1,30 ", "  1,00 ", "  0,00 ", "  0,00 ", "  0,00 ",
                                        "  0,00 ", "  0,00 ", "  2,30 ", "  1,00 "}));
}

TEST_F(DayBalancesStore, InactiveUnknownOrWithoutYesterdayGive100AndLeaveTheTexts) {
  EXPECT_EQ(read("P2"), 100);
  EXPECT_EQ(row_.day_balance, untouched());
  EXPECT_EQ(read("P4"), 100);
  EXPECT_EQ(row_.day_balance, untouched());
  EXPECT_EQ(read("NOBODY"), 100);
  EXPECT_EQ(read("P1' OR ''='"), 100);
  EXPECT_EQ(row_.day_balance, untouched());
}

TEST_F(DayBalancesStore, AFailedStatementGivesMinusOneAndLeavesTheTexts) {
  store_.sql("MANDANT1", "DROP TABLE Kvx320Tgb;");
  Session fresh;
  connect(fresh);
  row_.clear();
  row_.person_number = "P1";
  row_.day_balance.fill("kept");
  EXPECT_EQ(read_day_balances(fresh, row_), -1);
  EXPECT_EQ(row_.day_balance, untouched());
}

}  // namespace
}  // namespace varnoklis
