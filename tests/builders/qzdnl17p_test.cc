#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
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

// Eleven reader groups of five characters; `set` gives group number and its whole text.
std::string groups(std::vector<std::pair<int, std::string>> set) {
  std::string text(55, ' ');
  for (const auto& [n, group] : set) text.replace(static_cast<std::size_t>(5 * (n - 1)), 5, group);
  return text;
}

std::string record(const std::string& badge, const std::string& from, const std::string& flags,
                   const std::string& balance, const std::string& reader_groups) {
  return pad(badge, 13) + from + flags + balance + reader_groups;
}

TEST(Qzdnl17p, WholeFileAndOutputForTwoClients) {
  TempStore store;
  seed_two_clients(store);
  Workplace work(store);
  std::string path = work.file("t01.dat");
  auto r = work.run({"QZDNL17P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "Schema: MANDANT1\n"
            "Ausweis A12345678901234 passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 "
            "Zeichen)\n"
            "Saldo Ermitteln. Pnr: P2 SQLCode:100\n"
            "Saldo Ermitteln. Pnr: P4 SQLCode:100\n"
            "Ausweis A4 ohne Zeit-/Zutrittsberechtigung auf Terminal T01\n"
            "Saldo Ermitteln. Pnr:  SQLCode:100\n"
            "Ausweise gesamt: 7 davon in Datei gestellt: 5\n"
            "Schema: MANDANT2\n"
            "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  const std::string rights = groups({{1, "0112 "}, {2, "0212 "}, {5, "0512 "}, {7, "07Hau"}});
  const std::string location_only = groups({{7, "07Hau"}});
  std::vector<std::string> records = {
      record("A1", local_day_text(-30), "11", "  1,30 ", rights),
      record("A2", "00000000", "10", "       ", groups({})),
      record("A5", local_day_text(-5), "11", "       ", rights),
      record("A6", local_day_text(-1), "10", "  1,30 ", location_only),
      record("A6", local_day_text(-1), "10", "  1,30 ", location_only),
      record("A1", local_day_text(-3), "11", "****** ", rights),
  };
  std::sort(records.begin(), records.end());
  std::string file;
  for (const std::string& rec : records) file += rec;
  EXPECT_EQ(read_file(path), file);
}

class Qzdnl17pStore : public testing::BuilderStore {
 protected:
  Qzdnl17pStore() : BuilderStore(build_qzdnl17p) {}
};

TEST_F(Qzdnl17pStore, ElevenReadersFillEveryGroupButTheLocationTakesGroupSeven) {
  std::string readers;
  for (int n = 1; n <= 12; ++n) {
    readers += std::string(n > 1 ? "," : "") + "('T11', " + std::to_string(n) + ", 'Z5')";
  }
  store_.sql("KVXCORE", "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES " + readers +
                            "; DELETE FROM Kvx301Asw WHERE AswNum <> 'A1' OR AswMnd <> 1;");
  EXPECT_EQ(build("T11"), "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  EXPECT_EQ(staged(store_, "p"),
            std::vector<std::string>{record("A1", local_day_text(-30), "11", "  1,30 ",
                                            "0112 0212 0312 0412 0512 0612 07Hau0812 0912 1012 "
                                            "1112 ")});
}

TEST_F(Qzdnl17pStore, AFailedBalanceReadKeepsTheWholeRecordWithBlankBalance) {
  store_.sql("MANDANT1", "DROP TABLE Kvx320Tgb;");
  store_.sql("KVXCORE", "DELETE FROM Kvx301Asw WHERE AswNum <> 'A1' OR AswMnd <> 1;");
  Session fresh;
  connect(fresh);
  EXPECT_EQ(build("T01", &fresh),
            "DB-Fehler Tagessalden lesen! Ausweis: A1 ErrNr: 1 SQLSTATE: HY000\n"
            "Saldo Ermitteln. Pnr: P1 SQLCode:-1\n"
            "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  EXPECT_EQ(staged(store_, "p"),
            std::vector<std::string>{
                record("A1", local_day_text(-30), "11", "       ",
                       groups({{1, "0112 "}, {2, "0212 "}, {5, "0512 "}, {7, "07Hau"}}))});
}

TEST_F(Qzdnl17pStore, AClassWiderThanItsGroupIsRejected) {
  store_.sql("KVXCORE",
             "DELETE FROM Kvx301Asw WHERE AswNum <> 'A1' OR AswMnd <> 1;"
             "UPDATE Kvx301Asw SET AswBkl = '1234';"
             "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('1234', 'Z5', 1);");
  EXPECT_EQ(build("T01"),
            "Ausweis A1 passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 Zeichen)\n"
            "Ausweise gesamt: 1 davon in Datei gestellt: 0\n");
  EXPECT_TRUE(staged(store_, "p").empty());
  EXPECT_FALSE(counts_.records_missing);
}

}  // namespace
}  // namespace varnoklis
