#include "queries/vacation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "queries/client_store.h"
#include "queries/number_text.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::local_date;
using Texts = std::array<std::string, 6>;

std::string days(double value) {
  std::string text = "stale";
  format_days(value, text);
  return text;
}

TEST(NumberText, DaysSwitchTheLeadAt10And100InBothDirections) {
  EXPECT_EQ(days(0.0), "  0,00 ");
  EXPECT_EQ(days(9.5), "  9,50 ");
  EXPECT_EQ(days(10.0), " 10,00 ");
  EXPECT_EQ(days(25.5), " 25,50 ");
  EXPECT_EQ(days(99.99), " 99,99 ");
  EXPECT_EQ(days(100.0), "100,00 ");
  EXPECT_EQ(days(999.99), "999,99 ");
  EXPECT_EQ(days(-1.5), "  1,50-");
  EXPECT_EQ(days(-9.5), "  9,50-");
  EXPECT_EQ(days(-10.0), " 10,00-");
  EXPECT_EQ(days(-100.0), "100,00-");
}

TEST(NumberText, DaysRoundToTwoDecimalsAndOnlyFiguresBelowZeroCarryTheMinus) {
  EXPECT_EQ(days(0.333), "  0,33 ");
  EXPECT_EQ(days(2.666), "  2,67 ");
  EXPECT_EQ(days(-0.0), "  0,00 ");
  EXPECT_EQ(days(-0.001), "  0,00-");
}

TEST(NumberText, DaysThatWouldOutgrowSevenCharactersLoseLeadOrShowTheOverflowMark) {
  EXPECT_EQ(days(9.996), " 10,00 ");
  EXPECT_EQ(days(-9.996), " 10,00-");
  EXPECT_EQ(days(99.996), "100,00 ");
  EXPECT_EQ(days(-99.996), "100,00-");
  EXPECT_EQ(days(999.996), "****** ");
  EXPECT_EQ(days(1000.0), "****** ");
  EXPECT_EQ(days(-12345.0), "******-");
  EXPECT_EQ(days(INFINITY), "****** ");
  EXPECT_EQ(days(NAN), "****** ");
}

class VacationStore : public testing::ClientStore {
 protected:
  std::string rows() const override {
    std::string year = local_date(0).substr(0, 4);
    std::string last_year = std::to_string(std::stoi(year) - 1);
    return "INSERT INTO Kvx300Pnr (PnrNum, PnrSta) VALUES ('P1', NULL), ('P2', 0), "
           "('P3', 1), ('P4', 4);"
           "INSERT INTO Kvx332Urv (UrvPnr, UrvJhr, UrvGur, UrvVjr) VALUES "
           "('P1', " +
           year + ", 30, 5), ('P1', " + last_year +
           ", 99, 1),"
           "('P2', " +
           last_year +
           ", 28, 2),"
           "('P3', " +
           year +
           ", 3, 7.5),"
           "('P4', " +
           year +
           ", 20, 0);"
           "INSERT INTO Kvx332Utg (UtgPnr, UtgDtm, UtgVtg, UtgRtg, UtgGut) VALUES "
           "('P1', '" +
           local_date(1) +
           "', 9, 9, 9),"
           "('P1', '" +
           local_date(0) +
           " 08:00:00', 50, 50, 50),"
           "('P1', '" +
           local_date(0) +
           "', 2.5, 12.25, -1.5),"
           "('P1', '" +
           local_date(-30) +
           "', 7, 7, 7),"
           "('P3', '" +
           local_date(-3) +
           "', NULL, NULL, NULL),"
           "('P4', '" +
           local_date(-1) + "', 1, 2, 3);";
  }

  int read(const std::string& person) {
    row_.clear();
    row_.person_number = person;
    row_.vacation.fill("kept");
    return read_vacation(session_, row_);
  }
};

TEST_F(VacationStore, LatestAccountRowUpToTodayAndThisYearsEntitlement) {
  ASSERT_EQ(read("P1"), 0);
  EXPECT_EQ(row_.vacation,
            (Texts{" 30,00 ", "  1,50-", "  2,50 ", " 25,00 ", " 12,25 ", "  5,00 "}));
}

TEST_F(VacationStore, RemainderNeverBelowZeroAndNullFiguresAreZero) {
  ASSERT_EQ(read("P3"), 0);
  EXPECT_EQ(row_.vacation,
            (Texts{"  3,00 ", "  0,00 ", "  0,00 ", "  0,00 ", "  0,00 ", "  7,50 "}));
}

TEST_F(VacationStore, MissingRowsShowZerosAndAdd100Each) {
  const Texts zeros{"  0,00 ", "  0,00 ", "  0,00 ", "  0,00 ", "  0,00 ", "  0,00 "};
  EXPECT_EQ(read("P2"), 200);  // last year's entitlement only, no account row
  EXPECT_EQ(row_.vacation, zeros);
  EXPECT_EQ(read("P4"), 100);  // inactive: no entitlement, the account row still counts
  EXPECT_EQ(row_.vacation,
            (Texts{"  0,00 ", "  3,00 ", "  1,00 ", "  0,00 ", "  2,00 ", "  0,00 "}));
  EXPECT_EQ(read("NOBODY"), 200);
  EXPECT_EQ(row_.vacation, zeros);
}

TEST_F(VacationStore, AFailedStatementWritesNoText) {
  store_.sql("MANDANT1", "DROP TABLE Kvx332Urv;");
  Session fresh;
  // The tables change between the reads; remembered answers would hide that.
  fresh.set_remembering(false);
  connect(fresh);
  row_.clear();
  row_.person_number = "P1";
  row_.vacation.fill("kept");
  EXPECT_EQ(read_vacation(fresh, row_), -1);
  EXPECT_EQ(row_.vacation, (Texts{"kept", "kept", "kept", "kept", "kept", "kept"}));
  store_.sql("MANDANT1", "DROP TABLE Kvx332Utg;");
  int result = read_vacation(fresh, row_);
  EXPECT_NE(result, 0);
  EXPECT_NE(result, -1);  // the account statement reports the native error number
  EXPECT_EQ(row_.vacation, (Texts{"kept", "kept", "kept", "kept", "kept", "kept"}));
}

}  // namespace
}  // namespace varnoklis
