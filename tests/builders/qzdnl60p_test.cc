#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "builders/builder.h"
#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::local_day_text;
using testing::pad;
using testing::read_file;
using testing::seed_two_clients;
using testing::staged;
using testing::TempStore;
using testing::Workplace;

const std::string kNoGroups(15, ' ');
const std::string kProgress = "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n";

std::string record(const std::string& badge, const std::string& from, const std::string& flags,
                   const std::string& balance, const std::string& reader_groups) {
  return pad(badge, 13) + from + flags + balance + reader_groups;
}

TEST(Qzdnl60p, WholeFileAndOutputForTwoClients) {
  TempStore store;
  seed_two_clients(store);
  Workplace work(store);
  std::string path = work.file("t01.dat");
  auto r = work.run({"QZDNL60P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "Schema: MANDANT1\n" +
                kProgress +
                "Ausweis A12345678901234 passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 "
                "Zeichen)\n"
                "Ausweis A4 ohne Zeit-/Zutrittsberechtigung auf Terminal T01\n"
                "Ausweise gesamt: 7 davon in Datei gestellt: 5\n"
                "Schema: MANDANT2\n" +
                kProgress + "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  // Reader 5 alone authorizes class 12, and this record looks at readers 1 to 3 only.
  std::vector<std::string> records = {
      record("A1", local_day_text(-30), "10", "  1,30 ", kNoGroups),
      record("A2", "00000000", "10", "       ", kNoGroups),
      record("A5", local_day_text(-5), "10", "       ", kNoGroups),
      record("A6", local_day_text(-1), "10", "  1,30 ", kNoGroups),
      record("A6", local_day_text(-1), "10", "  1,30 ", kNoGroups),
      record("A1", local_day_text(-3), "10", "****** ", kNoGroups),
  };
  std::sort(records.begin(), records.end());
  std::string file;
  for (const std::string& rec : records) file += rec;
  EXPECT_EQ(read_file(path), file);
}

class Qzdnl60pStore : public testing::BuilderStore {
 protected:
  Qzdnl60pStore() : BuilderStore(build_qzdnl60p) {}
  void seed() override {
    store_.sql("KVXCORE", "DELETE FROM Kvx301Asw WHERE AswNum NOT IN ('A1', 'A6') OR AswMnd <> 1;");
  }
};

TEST_F(Qzdnl60pStore, OnlyReadersOneToThreeGrantAndShowTheirGroups) {
  store_.sql(
      "KVXCORE",
      "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES "
      "('T23', 2, 'ZB'), ('T23', 3, 'ZB'), ('T23', 4, 'ZC');"
      "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('3', 'ZB', 1), ('12', 'ZC', 1);");
  EXPECT_EQ(build("T23"),
            "Fetch Sal_DspTxtVar_Read! RC:100!\n"
            "Ausweise gesamt: 3 davon in Datei gestellt: 3\n");
  const std::string a6 = record("A6", local_day_text(-1), "11", "       ", "     023  033  ");
  EXPECT_EQ(staged(store_, "p"),
            (std::vector<std::string>{record("A1", local_day_text(-30), "10", "       ", kNoGroups),
                                      a6, a6}));
}

TEST_F(Qzdnl60pStore, TheFirstLinesCodeAloneChoosesTheBalance) {
  store_.sql("KVXCORE",
             "INSERT INTO Kvx114Tsm (TsmNam, TsmSal, TsmSpr) VALUES ('T16', 'S16', 1), "
             "('T03', 'S3', 1);"
             "INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaAnz, TsaAus) VALUES "
             "('S16', 1, 1, 16), ('S3', 1, 1, 3), ('S3', 2, 1, 1);"
             "INSERT INTO Kvx102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT10) VALUES "
             "(220002, 16, 1, '#W16'), (220002, 3, 1, '#W3');");
  build("T16");
  EXPECT_EQ(staged(store_, "p")[0], record("A1", local_day_text(-30), "10", " 11,10 ", kNoGroups));
  build("T03");
  EXPECT_EQ(staged(store_, "p")[0], record("A1", local_day_text(-30), "10", "       ", kNoGroups));
}

}  // namespace
}  // namespace varnoklis
