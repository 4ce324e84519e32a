#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "builders/builder.h"
#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::pad;
using testing::read_file;
using testing::seed_two_clients;
using testing::staged;
using testing::TempStore;
using testing::Workplace;

const std::string kProgress = "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n";
const std::string kEnd = "Fetch Sal_DspTxtVar_Read! RC:100!\n";

std::string today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%d.%m.%y", &local);
  return text;
}

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct Figures {
  std::string balance, carried_over, remainder, entitlement, remaining;
};

// A record of terminal T01's balance set S1.
std::string s1_record(const std::string& badge, const Figures& f) {
  std::string date = today();
  return pad(badge, 13) + "Saldo        " + f.balance + "Datum       " + date + "Urlaub Rest  " +
         f.remainder + "Anspruch     " + f.entitlement + " Gleitzeit   " + f.carried_over +
         "Resturlaub   " + f.remaining + "Zweites Dat  " + date.substr(0, 7) + "Unbekannt    " +
         "       ";
}

const Figures kP1{"  1,30 ", "  1,00 ", " 25,50 ", " 30,00 ", " 22,50 "};

TEST(Qzdnl18p, WholeFileAndOutputForTwoClients) {
  TempStore store;
  seed_two_clients(store);
  Workplace work(store);
  std::string path = work.file("t01.dat");
  auto r = work.run({"QZDNL18P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  const std::string texts = repeat(kProgress, 8) + kEnd;
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "Schema: MANDANT1\n" +
                texts +
                "Ausweis A12345678901234 passt nicht in den Satz (Ausweis max. 13 Zeichen)\n"
                "Ausweis:A2 Person:P2 Saldodaten nicht gefunden! 100\n"
                "Ausweis:A2 Person:P2 Urlaubsdaten nicht gefunden! 200\n"
                "Ausweis A4 auf Terminal T01 nicht zulaessig!\n"
                "Ausweise gesamt: 7 davon in Datei gestellt: 3\n"
                "Schema: MANDANT2\n" +
                texts +
                "Ausweis:A1 Person:Q1 Urlaubsdaten nicht gefunden! 200\n"
                "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  std::vector<std::string> records = {
      s1_record("A1", kP1),
      s1_record("A2", {"       ", "       ", "  0,00 ", "  0,00 ", "  0,00 "}),
      s1_record("A6", kP1),
      s1_record("A1", {"****** ", "****** ", "  0,00 ", "  0,00 ", "  0,00 "}),
  };
  std::sort(records.begin(), records.end());
  std::string file;
  for (const std::string& rec : records) file += rec;
  EXPECT_EQ(read_file(path), file);
}

class Qzdnl18pStore : public testing::BuilderStore {
 protected:
  Qzdnl18pStore() : BuilderStore(build_qzdnl18p) {}
  void seed() override {
    store_.sql("KVXCORE",
               "DELETE FROM Kvx301Asw WHERE AswNum <> 'A1' OR AswMnd <> 1;"
               "INSERT INTO Kvx114Tsm (TsmNam, TsmTyp, TsmSal, TsmSpr) VALUES "
               "('T598', '7598-002  ', 'S1', 1), ('T744', '7744-010', 'S2', 1),"
               "('T3M', NULL, 'S3', 1);"
               "INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus) VALUES "
               "('S2', 1, 1, 1, 1), ('S2', 2, 1, 3, 3), ('S2', 4, 2, 4, 4),"
               "('S3', 1, 1, 1, 1), ('S3', 2, 1, 4, 4), ('S3', 3, 1, 3, 77),"
               "('S3', 4, 1, 3, 3);");
    store_.sql("MANDANT1", "UPDATE Kvx300Pnr SET PnrSal = 'S1' WHERE PnrNum = 'P1';");
  }

  std::string staged_record() {
    std::vector<std::string> records = staged(store_, "p");
    return records.size() == 1 ? records[0] : "";
  }
};

TEST_F(Qzdnl18pStore, TerminalType7598002ShowsLinesOneToFourOnly) {
  build("T598");
  EXPECT_EQ(staged_record(), s1_record("A1", kP1).substr(0, 93) + std::string(80, ' '));
}

TEST_F(Qzdnl18pStore, TerminalType7744010ShowsTheTerminalsLinesNotThePersons) {
  EXPECT_EQ(build("T744"),
            repeat(kProgress, 3) + kEnd + "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  EXPECT_EQ(staged_record(), pad("A1", 13) + "Saldo          1,30 Urlaub Rest   25,50 " +
                                 std::string(20, ' ') + "Anspruch      30,00 " +
                                 std::string(80, ' '));
}

TEST_F(Qzdnl18pStore, ALineWithoutCodeEndsTheBalanceSet) {
  EXPECT_EQ(build("T3M"), repeat(kProgress, 2) +
                              "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 100\n"
                              "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  EXPECT_EQ(staged_record(),
            pad("A1", 13) + "Saldo          1,30 Anspruch      30,00 " + std::string(120, ' '));
}

TEST_F(Qzdnl18pStore, WithoutProfileTheRecordHoldsTheBadgeAlone) {
  EXPECT_EQ(build("T00"), kEnd + "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  EXPECT_EQ(staged_record(), pad("A1", 173));
}

}  // namespace
}  // namespace varnoklis
