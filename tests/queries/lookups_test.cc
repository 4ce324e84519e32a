#include "queries/lookups.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::TempStore;

class LookupTest : public ::testing::Test {
 protected:
  void SetUp() override { store_.add_client("MANDANT1"); }
  void connect() {
    store_.connect(session_);
    ASSERT_EQ(session_.switch_schema("MANDANT1"), 0);
  }
  TempStore store_;
  Session session_;
};

TEST_F(LookupTest, TerminalProfile) {
  store_.sql("KVXCORE",
             "INSERT INTO Kvx114Tsm (TsmNam, TsmTyp, TsmSal, TsmSta) VALUES "
             "('T01', '7598-002   ', 'SAL1  ', NULL), ('T02', '7744-010', 'SAL2', 4), "
             "('T03', '7744-010-LONG', NULL, 0), ('T''4', 'Q', 'S', NULL);");
  connect();
  auto read = [&](const char* terminal) {
    TerminalProfile profile{"old", "old"};
    int rc = read_terminal_profile(session_, terminal, profile);
    return std::to_string(rc) + "|" + profile.type + "|" + profile.balance_set;
  };
  EXPECT_EQ(read("T01"), "0|7598-002|SAL1");
  EXPECT_EQ(read("T02"), "100|old|old");
  EXPECT_EQ(read("T03"), "0|7744-010-L|");
  EXPECT_EQ(read("T'4"), "0|Q|S");
  EXPECT_EQ(read("NONE"), "100|old|old");
}

TEST_F(LookupTest, LocationTextOfTheBadge) {
  store_.sql("KVXCORE",
             "INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES ('1', 'HALLE1', NULL), "
             "('2', 'WE', 0), ('3', 'OFF', 4), ('4', NULL, NULL);\n"
             "INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES ('B1', '1', NULL), "
             "('B2', '2', NULL), ('B3', '3', NULL), ('B4', '1', 8), ('B5', '4', NULL);");
  connect();
  auto read = [&](const char* badge) {
    BadgeRow row;
    row.clear();
    row.badge_number = badge;
    int rc = read_location_text(session_, row);
    return std::to_string(rc) + "|" + row.location_text;
  };
  EXPECT_EQ(read("B1"), "0|HAL");
  EXPECT_EQ(read("B2"), "0|WE");
  EXPECT_EQ(read("B3"), "100|");
  EXPECT_EQ(read("B4"), "100|");
  EXPECT_EQ(read("B5"), "0|");
  EXPECT_EQ(read("NONE"), "100|");
}

TEST_F(LookupTest, PersonLanguageAndBalanceSet) {
  store_.sql("MANDANT1",
             "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal, PnrSta) VALUES "
             "('P1', 1, 'SALDO1   ', NULL), ('P2', 9999, 'S2', 0), ('P4', 1, 'S4', 4), "
             "('P8', 1, 'S8', 8), ('P0', NULL, NULL, NULL);");
  connect();
  auto read = [&](const char* person) {
    BadgeRow row;
    row.clear();
    row.person_number = person;
    int rc = read_person(session_, row);
    return std::to_string(rc) + "|" + row.language + "|" + row.balance_set;
  };
  EXPECT_EQ(read("P1"), "0|1|SALDO1");
  EXPECT_EQ(read("P2"), "0|9999|S2");
  EXPECT_EQ(read("P4"), "100||");
  EXPECT_EQ(read("P8"), "100||");
  EXPECT_EQ(read("P0"), "0|0|");
  EXPECT_EQ(read(""), "100||");
}

}  // namespace
}  // namespace varnoklis
