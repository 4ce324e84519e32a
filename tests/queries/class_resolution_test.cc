#include "queries/class_resolution.h"

#include <gtest/gtest.h>

#include <string>

#include "db/result_code.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::local_date;
using testing::local_day_text;
using testing::TempStore;

class ClassResolutionTest : public ::testing::Test {
 protected:
  void SetUp() override { store_.add_client("MANDANT1"); }

  // The stages are counted as the system sends them, every badge asking anew.
  void connect() {
    store_.connect(session_);
    session_.set_remembering(false);
    ASSERT_EQ(session_.switch_schema("MANDANT1"), 0);
  }

  // Resolves a badge of class `class_code`, group `group` and person `person`; returns whether
  // it resolved and the slots resolution may write.
  std::string resolve(const std::string& class_code, const std::string& group,
                      const std::string& person) {
    BadgeRow row;
    row.clear();
    row.class_code = class_code;
    row.badge_group = group;
    row.person_number = person;
    row.valid_from = "20000101";
    row.valid_to = "20991231";
    before_ = session_.counts().statements;
    bool resolved = resolve_class(session_, row);
    return std::string(resolved ? "yes" : "no") + "|" + row.badge_group + "|" + row.cost_centre +
           "|" + row.department + "|" + row.valid_from + "|" + row.valid_to + "|" + row.class_code +
           "|" + row.person_number;
  }

  std::uint64_t statements() const { return session_.counts().statements - before_; }

  TempStore store_;
  Session session_;
  std::uint64_t before_ = 0;
};

TEST_F(ClassResolutionTest, EachStageWinsInItsTurn) {
  std::string past = "'" + local_date(-30) + "'";
  std::string future = "'" + local_date(30) + "'";
  store_.sql(
      "MANDANT1",
      "INSERT INTO Kvx408Bzu (BzuZau, BzuKst, BzuVks, BzuAbt, BzuVab, BzuAkr, BzuGvo, BzuGbi, "
      "BzuBkl, BzuSta) VALUES "
      "('G1', NULL, NULL, NULL, NULL, NULL, '2020-03-05 08:30:00', NULL, '12', NULL), "
      "(NULL, 'K2', NULL, NULL, NULL, NULL, " +
          past + ", " + future +
          ", '22', 0), "
          "(NULL, NULL, NULL, 'A2', NULL, NULL, " +
          past +
          ", NULL, '44', NULL), "
          "(NULL, NULL, 'V3', NULL, NULL, NULL, NULL, " +
          future +
          ", '33', NULL), "
          "(NULL, NULL, NULL, 'A3', NULL, NULL, " +
          past +
          ", NULL, '43', NULL), "
          "(NULL, NULL, 'V4', NULL, NULL, NULL, " +
          past +
          ", NULL, '99', NULL), "
          "(NULL, NULL, NULL, 'A4', NULL, NULL, " +
          past +
          ", NULL, '4', NULL), "
          "(NULL, NULL, NULL, NULL, 'VA5', NULL, " +
          past +
          ", NULL, '55555', NULL), "
          "(NULL, NULL, NULL, NULL, NULL, 'R6', " +
          past +
          ", NULL, '7  ', NULL), "
          "(NULL, NULL, NULL, NULL, NULL, 'RE', " +
          past +
          ", NULL, 'E', NULL);\n"
          "INSERT INTO Kvx311Zuo (ZuoPnr, ZuoKst, ZuoAbt, ZuoGvo, ZuoGbi, ZuoSta) VALUES "
          "('P2', 'K2', 'A2', " +
          past +
          ", NULL, NULL), "
          "('P3', 'K3', 'A3', NULL, " +
          future +
          ", NULL), "
          "('P4', 'K4', 'A4', " +
          past +
          ", NULL, 1), "
          "('P5', 'K5', 'A5', " +
          past +
          ", NULL, NULL);\n"
          "INSERT INTO O1003Kststelle (KstNum, KstVws, KstSta) VALUES "
          "('K3', 'V3', NULL), ('K4', 'V4', 4);\n"
          "INSERT INTO G2202AbtLst (AblAbt, AblVab, AblSta) VALUES ('A5', 'VA5', NULL);\n"
          "INSERT INTO Kvx310Bsv (BsvPnr, BsvAkr, BsvGvo, BsvGbi, BsvSta) VALUES "
          "('P6', 'R6', " +
          past + ", NULL, NULL), ('', 'RE', " + past + ", NULL, NULL);");
  connect();
  std::string p = local_day_text(-30), f = local_day_text(30);
  EXPECT_EQ(resolve("0  ", "G1", "P2"), "yes|G1|||20200305||12 |P2");
  EXPECT_EQ(statements(), 1u);
  EXPECT_EQ(resolve("0  ", "G0", "P2"), "yes|G0|K2||" + p + "|" + f + "|22 |P2");
  EXPECT_EQ(resolve("0  ", "G0", "P3"), "yes|G0||||" + f + "|33 |P3");
  EXPECT_EQ(resolve("0  ", "G0", "P4"), "yes|G0||A4|" + p + "||4  |P4");
  EXPECT_EQ(resolve("0  ", "G0", "P5"), "yes|G0|||" + p + "||55555|P5");
  EXPECT_EQ(resolve("0  ", "G0", "P6"), "yes|G0|||" + p + "||7|P6");
  EXPECT_EQ(statements(), 6u);
  EXPECT_EQ(resolve("0  ", "", ""), "yes||||" + p + "||E|");

  // A class of its own is never resolved, and costs no statement.
  EXPECT_EQ(resolve("4  ", "G1", "P2"), "yes|G1|||20000101|20991231|4  |P2");
  EXPECT_EQ(resolve("   ", "G1", "P2"), "yes|G1|||20000101|20991231|   |P2");
  EXPECT_EQ(resolve("0", "G1", "P2"), "yes|G1|||20000101|20991231|0|P2");
  EXPECT_EQ(statements(), 0u);
}

TEST_F(ClassResolutionTest, FoundClassZeroOrNullStopsTheChain) {
  std::string past = "'" + local_date(-30) + "'";
  store_.sql("MANDANT1",
             "INSERT INTO Kvx408Bzu (BzuZau, BzuAkr, BzuGvo, BzuGbi, BzuBkl) VALUES "
             "('GZ', NULL, " +
                 past + ", NULL, '0'), ('GN', NULL, " + past + ", NULL, NULL), (NULL, 'R6', " +
                 past +
                 ", NULL, '7');\n"
                 "INSERT INTO Kvx310Bsv (BsvPnr, BsvAkr, BsvGvo) VALUES ('P6', 'R6', " +
                 past + ");");
  connect();
  std::string p = local_day_text(-30);
  EXPECT_EQ(resolve("0  ", "GZ", "P6"), "yes|GZ|||" + p + "||0  |P6");
  EXPECT_EQ(statements(), 1u);
  EXPECT_EQ(resolve("0  ", "GN", "P6"), "yes|GN|||" + p + "||   |P6");
  EXPECT_EQ(statements(), 1u);
}

TEST_F(ClassResolutionTest, InvalidAssignmentsLeaveTheClassUnresolved) {
  std::string past = "'" + local_date(-30) + "'";
  std::string yesterday = "'" + local_date(-1) + "'";
  std::string tomorrow = "'" + local_date(1) + "'";
  store_.sql(
      "MANDANT1",
      "INSERT INTO Kvx408Bzu (BzuZau, BzuKst, BzuVks, BzuAbt, BzuVab, BzuAkr, BzuGvo, BzuGbi, "
      "BzuBkl, BzuSta) VALUES "
      "('GB', NULL, NULL, NULL, NULL, NULL, NULL, NULL, '1', NULL), "
      "('GS', NULL, NULL, NULL, NULL, NULL, " +
          past + ", NULL, '2', 4), ('GS', NULL, NULL, NULL, NULL, NULL, " + past +
          ", NULL, '2', 8), ('GX', NULL, NULL, NULL, NULL, NULL, " + past + ", " + yesterday +
          ", '3', NULL), ('GT', NULL, NULL, NULL, NULL, NULL, " + tomorrow +
          ", NULL, '3', NULL), "
          "(NULL, 'K8', NULL, NULL, NULL, NULL, " +
          past +
          ", NULL, '81', NULL), "
          "(NULL, NULL, 'V8', NULL, NULL, NULL, " +
          past +
          ", NULL, '82', NULL), "
          "(NULL, NULL, NULL, 'A8', NULL, NULL, " +
          past +
          ", NULL, '83', NULL), "
          "(NULL, NULL, NULL, NULL, 'VA8', NULL, " +
          past +
          ", NULL, '84', NULL), "
          "(NULL, NULL, NULL, NULL, NULL, 'R8', " +
          past +
          ", NULL, '85', NULL);\n"
          "INSERT INTO Kvx311Zuo (ZuoPnr, ZuoKst, ZuoAbt, ZuoGvo, ZuoGbi, ZuoSta) VALUES "
          "('P8', 'K8', 'A8', " +
          past + ", " + yesterday + ", NULL), ('P9', 'K8', 'A8', " + past +
          ", NULL, 8);\n"
          "INSERT INTO O1003Kststelle (KstNum, KstVws) VALUES ('K8', 'V8');\n"
          "INSERT INTO G2202AbtLst (AblAbt, AblVab) VALUES ('A8', 'VA8');\n"
          "INSERT INTO Kvx310Bsv (BsvPnr, BsvAkr, BsvGvo, BsvGbi, BsvSta) VALUES "
          "('P8', 'R8', NULL, NULL, NULL), ('P9', 'R8', " +
          past + ", NULL, 4);");
  connect();
  for (const char* group : {"GB", "GS", "GX", "GT"}) {
    for (const char* person : {"P8", "P9"}) {
      EXPECT_EQ(resolve("0  ", group, person),
                std::string("no|") + group + "|||20000101|20991231|0  |" + person);
      EXPECT_EQ(statements(), 6u);
    }
  }
}

TEST_F(ClassResolutionTest, AFailedStagePassesOnToTheNext) {
  std::string past = "'" + local_date(-30) + "'";
  store_.sql("MANDANT1",
             "INSERT INTO Kvx408Bzu (BzuAkr, BzuGvo, BzuBkl) VALUES ('R6', " + past +
                 ", '7');\nINSERT INTO Kvx310Bsv (BsvPnr, BsvAkr, BsvGvo) VALUES ('P6', 'R6', " +
                 past + ");\nDROP TABLE Kvx311Zuo;");
  connect();
  BadgeRow row;
  row.clear();
  row.class_code = kUnresolvedClass;
  row.person_number = "P6";
  EXPECT_EQ(class_by_cost_centre(session_, row), -1);
  EXPECT_EQ(class_by_group(session_, row), kNoData);
  EXPECT_EQ(row.class_code, "0  ");
  EXPECT_EQ(resolve("0  ", "G0", "P6"), "yes|G0|||" + local_day_text(-30) + "||7|P6");
}

}  // namespace
}  // namespace varnoklis
