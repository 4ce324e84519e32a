#include "queries/display_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/result_code.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::TempStore;

struct Line {
  std::int32_t line;
  std::int32_t shift;
  std::string label;
  std::string code;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& l) {
  return out << l.line << "/" << l.shift << "/'" << l.label << "'/'" << l.code << "'";
}

// Terminal T01 shows set S1 in language 1; person P1 has set S2 in language 2.
class DisplayTextsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.sql("KVXCORE",
               "INSERT INTO Kvx114Tsm (TsmNam, TsmTyp, TsmSal, TsmSpr, TsmSta) VALUES "
               "('T01', '7744-010', 'S1', 1, NULL), ('T09', 'x', 'S1', 1, 4);"
               "INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus, TsaSta) VALUES "
               "('S1', 4, 2, 14, 24, 0), ('S1', 1, 1, 11, 21, NULL), ('S1', 2, NULL, 12, 22, 1),"
               "('S1', 5, 1, 15, 25, 8), ('S1', 6, 1, 99, 26, NULL),"
               "('S2', 1, 2, 31, 41, NULL), ('S2', 2, 1, 32, 42, NULL);"
               "INSERT INTO Kvx102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FtxT10) VALUES "
               "(220001, 11, 1, 'Saldo', NULL), (220001, 12, 1, 'Gleitzeitsaldo Vormonat', NULL),"
               "(220001, 14, 1, 'Urlaub  ', NULL), (220001, 15, 1, 'Inaktiv', NULL),"
               "(220001, 11, 2, 'Balance', NULL),"
               "(220002, 21, 1, NULL, '#W2'), (220002, 22, 1, NULL, '#W15  '),"
               "(220002, 24, 1, NULL, '#W1'), (220002, 25, 1, NULL, '#W3'),"
               "(220001, 31, 2, 'Konto', NULL), (220001, 32, 2, 'Rest', NULL),"
               "(220002, 41, 2, NULL, '#W8'), (220002, 42, 2, NULL, '#W4');");
    store_.add_client("MANDANT1");
    store_.sql("MANDANT1",
               "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal, PnrSta) VALUES "
               "('P1', 2, 'S2', NULL), ('P8', 2, 'S2', 8);");
    store_.connect(session_);
    ASSERT_EQ(session_.switch_schema("MANDANT1"), 0);
  }

  // Fetches until the result is not 0; returns the lines and keeps the last result.
  std::vector<Line> read_all() {
    std::vector<Line> lines;
    DisplayText entry;
    while ((last_ = texts_.fetch(entry)) == 0) {
      EXPECT_EQ(entry.value, "       ");
      lines.push_back({entry.line, entry.shift, entry.label, entry.code});
    }
    texts_.close();
    return lines;
  }

  TempStore store_;
  Session session_;
  DisplayTexts texts_;
  int last_ = 0;
};

TEST_F(DisplayTextsStore, TerminalLinesInOrderWithLabelsShiftsCodesAndProgressLines) {
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(texts_.open_terminal(session_, "T01"), 0);
  std::vector<Line> lines = read_all();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n"
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n"
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n"
            "Fetch Sal_DspTxtVar_Read! RC:100!\n");
  EXPECT_EQ(last_, kNoData);
  EXPECT_EQ(lines, (std::vector<Line>{{1, 1, "Saldo        ", "#W2"},
                                      {2, 1, "Gleitzeitsal ", "#W15"},
                                      {4, 2, "Urlaub       ", "#W1"}}));
}

TEST_F(DisplayTextsStore, TerminalReadingStopsAtTheFirstLineWithoutACode) {
  store_.sql("KVXCORE",
             "INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus) VALUES "
             "('S1', 3, 1, 11, 23);");
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(texts_.open_terminal(session_, "T01"), 0);
  std::vector<Line> lines = read_all();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n"
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n"
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 100\n");
  EXPECT_EQ(last_, kNoData);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].line, 2);
}

TEST_F(DisplayTextsStore, TerminalWithoutActiveProfileEndsAtOnce) {
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(texts_.open_terminal(session_, "T09"), 0);
  EXPECT_TRUE(read_all().empty());
  EXPECT_EQ(last_, kNoData);
  ASSERT_EQ(texts_.open_terminal(session_, "T01' OR ''='"), 0);
  EXPECT_TRUE(read_all().empty());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Fetch Sal_DspTxtVar_Read! RC:100!\nFetch Sal_DspTxtVar_Read! RC:100!\n");
}

TEST_F(DisplayTextsStore, PersonLinesAreSilentAndEndWithMinusOne) {
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(texts_.open_person(session_, "P1"), 0);
  std::vector<Line> lines = read_all();
  EXPECT_EQ(last_, -1);
  EXPECT_EQ(lines,
            (std::vector<Line>{{1, 2, "Konto        ", "#W8"}, {2, 1, "Rest         ", "#W4"}}));
  ASSERT_EQ(texts_.open_person(session_, "P8"), 0);
  EXPECT_TRUE(read_all().empty());
  EXPECT_EQ(last_, -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(DisplayTextsStore, PersonReadingStopsAtTheFirstLineWithoutACode) {
  store_.sql("KVXCORE", "DELETE FROM Kvx102Whl WHERE FtxNumSpr = 220002 AND FtxWhl = 41;");
  ASSERT_EQ(texts_.open_person(session_, "P1"), 0);
  EXPECT_TRUE(read_all().empty());
  EXPECT_EQ(last_, kNoData);
}

TEST_F(DisplayTextsStore, ACodeLongerThanTenCharactersArrivesCut) {
  store_.sql("KVXCORE", "UPDATE Kvx102Whl SET FtxT10 = '#W2-and-more' WHERE FtxWhl = 21;");
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(texts_.open_terminal(session_, "T01"), 0);
  DisplayText entry;
  EXPECT_EQ(texts_.fetch(entry), 0);
  texts_.close();
  EXPECT_EQ(entry.code, "#W2-and-mo");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 1\n");
}

TEST_F(DisplayTextsStore, FetchWithoutOpenGivesMinusOneSilently) {
  DisplayText entry;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(texts_.fetch(entry), -1);
  texts_.close();
  ASSERT_EQ(texts_.open_terminal(session_, "T01"), 0);
  texts_.close();
  EXPECT_EQ(texts_.fetch(entry), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(DisplayTable, LinesOutsideOneToEightFindNoPlace) {
  DisplayTable table;
  DisplayText entry;
  entry.label = "Saldo        ";
  for (std::int32_t line : {0, 9, -1}) {
    entry.line = line;
    EXPECT_FALSE(store_line(table, entry));
  }
  entry.line = 8;
  EXPECT_TRUE(store_line(table, entry));
  EXPECT_EQ(table[7].label, "Saldo        ");
  clear_table(table);
  EXPECT_EQ(table[7].label, "");
}

}  // namespace
}  // namespace varnoklis
