// Runs fed with hostile values and run side by side: no value may change a statement or move
// one badge's rights to another, and two runs for one path must not mix their records.
#include <gtest/gtest.h>

#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempStore;
using testing::Workplace;
using testing::write_file;

// One client MANDANT1 on terminal T01, whose reader 1 guards zone Z1, open to class 12.
void seed_terminal(const TempStore& store) {
  store.add_client("MANDANT1");
  store.sql("KVXCORE", R"(
    INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum, MndSta) VALUES ('MANDANT1', 0, 1, 1, NULL);
    INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES ('T01', 1, 1, NULL);
    INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES ('T01', 1, 'Z1', NULL);
    INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES ('12', 'Z1', 1, NULL);
    INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES ('1', 'HT', NULL);
  )");
}

// `count` badges B00001... of class 12 at location 1, valid since ten days.
void seed_badges(const TempStore& store, int count) {
  store.sql("KVXCORE", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                           std::to_string(count) + R"()
    INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAtp, AswLiz, AswMnd)
      SELECT printf('B%05d', i), date('now', 'localtime', '-10 days'), NULL, printf('P%05d', i),
             '12', NULL, 1, 1, 1 FROM n;
    INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) SELECT AswNum, '1', NULL FROM Kvx301Asw;)");
}

std::string record_31p(const std::string& badge, const std::string& klass,
                       const std::string& text) {
  std::string record = badge + std::string(13 - badge.size(), ' ') + testing::local_day_text(-10) +
                       "00000000" + "11" + "XXXX,XX-001" + klass + text;
  return record + std::string(48 - record.size(), ' ');
}

TEST(Hostile, ValuesWithQuotesAndFormatCharactersReachTheFileUnchanged) {
  TempStore store;
  seed_terminal(store);
  const std::string badge = "Q'%s%n\"x;,\xff";
  const std::string long_badge(60, 'L');
  store.sql("KVXCORE", R"(
    INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES ('1''', 'Z1', NULL, NULL);
    INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES ('7', '%n''', NULL);
    INSERT INTO Kvx301Asw (AswNum, AswGvo, AswBkl, AswLiz, AswMnd) VALUES
      (')" + std::string("Q''%s%n\"x;,\xff") +
                           R"(', date('now', 'localtime', '-10 days'), '1''', 1, 1),
      (')" + long_badge + R"(', date('now', 'localtime', '-10 days'), '12', 1, 1);
    INSERT INTO Kvx113Awv (AwvNum, AwvSto) SELECT AswNum, '7' FROM Kvx301Asw;
  )");
  Workplace work(store);
  std::string path = work.file("o'%s;x.dat");
  auto r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\nSchema: MANDANT1\n"
            "Ausweis " +
                long_badge.substr(0, 50) +
                " passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 Zeichen)\n"
                "Ausweise gesamt: 2 davon in Datei gestellt: 1\n");
  EXPECT_EQ(read_file(path), record_31p(badge, "1' ", "%n'"));
  EXPECT_EQ(store.query("KVXCORE", "SELECT count(*) FROM Kvx999Tmp WHERE TmpUsr = 'o''%s;x.dat';"),
            "0\n");

  // A terminal name that would widen the statement selects nothing at all: no table knows it.
  const std::string sneaky = "x'OR'1'='1";
  r = work.run({"QZDNL31P", sneaky, path, "1"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\nTerminal " + sneaky + " unbekannt!\n");
  EXPECT_EQ(read_file(path), record_31p(badge, "1' ", "%n'"));
}

std::string hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(Hostile, EveryTextColumnOfAMasterDataLineKeepsItsBytesWithinItsCapacity) {
  TempStore store;
  seed_terminal(store);
  const std::string badge = "I'\"%s;,\x80\xff" + std::string(52, 'X');
  const std::string person = "P'%n\"1";
  const std::string set = "S'\"%s;,\xe4" + std::string(10, 'Y');
  auto quoted = [](const std::string& v) {
    std::string out;
    for (char c : v) out += c == '\'' ? std::string("''") : std::string(1, c);
    return "'" + out + "'";
  };
  store.sql(
      "KVXCORE",
      "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko) VALUES (" + quoted("1'\"") +
          ", 'Z1');"
          "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswGrp, AswAtp, AswLiz, AswMnd)"
          " VALUES (" +
          quoted(badge) + ", date('now', 'localtime', '-10 days'), " + quoted(person) + ", " +
          quoted("1'\"") + ", " + quoted("G'%n;") +
          ", 3, 1, 1);"
          "INSERT INTO Kvx113Awv (AwvNum, AwvSto) VALUES (" +
          quoted(badge) + ", " + quoted("'%s\"12345678") + ");");
  store.sql("MANDANT1", "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal) VALUES (" + quoted(person) +
                            ", 7, " + quoted(set) + ");");
  Workplace work(store);
  std::string path = work.file("ids \"'%n.txt");
  auto r = work.run({"IDSTAMM", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\nSchema: MANDANT1\n"
            "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  // Badge number cut to 50, location number to 8, balance set to 10; quotes doubled.
  const std::string line = "\"I'\"\"%s;,\x80\xff" + std::string(41, 'X') + "\",\"" +
                           testing::local_day_text(-10) +
                           "\",\"\",\"\"\"1234\",\"1\",\"1\",\"7\",\"" +
                           "S'\"\"%s;,\xe4YY\",\"001\",\"1'\"\"\",\"\",\"P'%n\"\"1\",\"3\"";
  EXPECT_EQ(read_file(path), line + "\r\n");
  EXPECT_EQ(store.query("KVXCORE", "SELECT hex(TmpStr) FROM Kvx999Tmp;"), hex(line + "\n") + "\n");
}

TEST(Hostile, TwoRunsForOnePathTakeTurnsAndOtherPathsRunAlongside) {
  TempStore store;
  seed_terminal(store);
  seed_badges(store, 600);
  Workplace work(store);
  std::string path = work.file("shared.dat");
  std::string other = work.file("other.dat");
  std::string expected;
  for (int i = 1; i <= 600; ++i) {
    char badge[16];
    std::snprintf(badge, sizeof badge, "B%05d", i);
    expected += record_31p(badge, "12 ", "HT");
  }
  auto command = [&](const std::string& file, const char* out) {
    return "( cd " + testing::shell_quote(work.cwd().string()) +
           " && ODBCINI=" + testing::shell_quote(store.odbc_ini().string()) +
           " ODBCSYSINI=" + testing::shell_quote(store.folder().string()) +
           " VARNOKLIS_STATE_DIR=" + testing::shell_quote(work.state_dir().string()) + " " +
           testing::shell_quote(std::string(VARNOKLIS_BINARY_DIR) + "/varnoklis") +
           " QZDNL31P T01 " + testing::shell_quote(file) + " 1 > " + out + "; echo $? >> " + out +
           " ) &";
  };
  std::string outs = work.root().string();
  auto result = testing::run_command(command(path, (outs + "/a.out").c_str()) +
                                     command(path, (outs + "/b.out").c_str()) +
                                     command(other, (outs + "/c.out").c_str()) + " wait");
  const std::string summary =
      "Mit Datenbank verbunden! Schema: KELVANIRO\nSchema: MANDANT1\n"
      "Ausweise gesamt: 600 davon in Datei gestellt: 600\n0\n";
  // The run that finds the path locked says so before it waits.
  const std::string waits =
      "Downloadfile " + path +
      " wird von einem anderen Lauf geschrieben, warte bis zu 600 Sekunden.\n";
  for (const char* out : {"/a.out", "/b.out", "/c.out"}) {
    std::string text = read_file(outs + out);
    if (text.starts_with(waits) && *out != 'c') text.erase(0, waits.size());
    EXPECT_EQ(text, summary) << out;
  }
  EXPECT_EQ(read_file(path), expected);
  EXPECT_EQ(read_file(other), expected);
}

TEST(Hostile, ReadBackThatFailsLeavesTheOldFile) {
  TempStore store;
  seed_terminal(store);
  seed_badges(store, 3);
  // The staging table becomes a view whose records cannot be read back: evaluating one record
  // overflows an integer, which the database reports when the read-back sorts the rows.
  store.sql("KVXCORE", R"(
    ALTER TABLE Kvx999Tmp RENAME TO Kvx999Kept;
    CREATE VIEW Kvx999Tmp AS SELECT rowid AS rowid, TmpUsr,
      CASE WHEN TmpStr LIKE 'B00002%' THEN abs(-9223372036854775807 - 1) ELSE TmpStr END AS TmpStr
      FROM Kvx999Kept;
    CREATE TRIGGER tmp_insert INSTEAD OF INSERT ON Kvx999Tmp
      BEGIN INSERT INTO Kvx999Kept VALUES (NEW.TmpUsr, NEW.TmpStr); END;
    CREATE TRIGGER tmp_delete INSTEAD OF DELETE ON Kvx999Tmp
      BEGIN DELETE FROM Kvx999Kept WHERE TmpUsr = OLD.TmpUsr; END;
  )");
  Workplace work(store);
  std::string path = work.file("t.dat");
  for (const char* mode : {"1", "0"}) {
    store.sql("KVXCORE", "DELETE FROM Kvx999Kept;");
    write_file(path, "OLD");
    auto r = work.run({"QZDNL31P", "T01", path, mode});
    EXPECT_EQ(r.status, kExitDatabase);
    EXPECT_EQ(r.output,
              "Mit Datenbank verbunden! Schema: KELVANIRO\nSchema: MANDANT1\n"
              "Ausweise gesamt: 3 davon in Datei gestellt: 3\n"
              "DB-Fehler Tab. Kvx999Tmp lesen! ErrNr: 1 SQLSTATE: HY000\n"
              "Error Tab. Kvx999Tmp lesen! ErrNr: 1 User: " +
                  path + "\n");
    EXPECT_EQ(read_file(path), "OLD");
  }
}

}  // namespace
}  // namespace varnoklis
