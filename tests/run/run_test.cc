#include "run/run.h"

#include <gtest/gtest.h>

#include "builders/builder_store.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempStore;
using testing::Workplace;
using testing::write_file;

const std::string kConnectedLine = "Mit Datenbank verbunden! Schema: KELVANIRO\n";

const std::string kUsage =
    "Aufruf: VARNOKLIS [Param1] [Param2] [Param3] [Param4]  \n"
    "Param1: DNL-Funktion\n"
    "Param2: Terminal-Name\n"
    "Param3: Pfad der DNL-Datei\n"
    "Param4: 1: neu 0: dran h\xe4ngen\n";

TEST(Run, ParameterErrorsStopBeforeConnecting) {
  TempStore store;
  Workplace work(store);
  std::string path = work.file("t.dat");
  write_file(path, "OLD");
  auto r = work.run({"QZDNL31P", "T01", path});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output, "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 3" + kUsage);
  r = work.run({});
  EXPECT_EQ(r.output, "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 0" + kUsage);
  r = work.run({"--help"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output,
            "usage: varnoklis KEYWORD TERMINAL PATH MODE\n"
            "Builds the download file PATH of TERMINAL for KEYWORD (QZDNL17P, QZDNL18P, QZDNL31P,\n"
            "QZDNL60P or IDSTAMM); MODE 1 writes a new file, any other MODE appends.\n"
            "Reads its credentials from ../../files/kelvaniro.ini, or the file VARNOKLIS_CONFIG "
            "names.\n"
            "Exit status 0: the file holds every record; 1 to 5: see varnoklis(1).\n");

  r = work.run({"QZDNL99P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output, "Unbekannte DNL-Funktion: QZDNL99P\n");
  r = work.run({"QZDNL31P", "T0123456789X", path, "1"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output, "Param2 zu lang (max. 11 Zeichen): T0123456789X\n");
  std::string long_path = "/tmp/" + std::string(99, 'p');
  r = work.run({"QZDNL31P", "T01", long_path, "1"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output, "Param3 zu lang (max. 103 Zeichen): " + long_path + "\n");
  r = work.run({"QZDNL31P-AND-MORE-XX", "T01", path, "1"});
  EXPECT_EQ(r.output, "Param1 zu lang (max. 19 Zeichen): QZDNL31P-AND-MORE-XX\n");
  r = work.run({"QZDNL31P", "T01", "", "1"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output, "Downloadfile  konnte nicht geoeffnet werden!\n");
  EXPECT_TRUE(std::filesystem::is_empty(work.cwd())) << "no lock file in the working folder";
  EXPECT_EQ(read_file(path), "OLD");
}

// Over-long credentials are named by their key, the password only as asterisks; the SCHEMA limit
// is that of the value as typed: 20 characters and the one that is dropped.
TEST(Run, OverLongCredentialsAreRejectedWithoutShowingThePassword) {
  TempStore store;
  Workplace work(store);
  std::string path = work.file("t.dat");
  work.write_config({{"LOGIN", "op"}, {"PASS", "geheim-und-viel-zu-lang!"}});
  auto r = work.run({"IDSTAMM", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(r.output, "PASS zu lang (max. 23 Zeichen): ************************\n");
  for (std::size_t typed : {21, 22}) {
    std::string schema(typed, 's');
    work.write_config(
        {{"LOGIN", "op"}, {"PASS", "p"}, {"DATABASE", "NOSUCHDSN"}, {"SCHEMA", schema}});
    r = work.run({"IDSTAMM", "T01", path, "1"});
    EXPECT_EQ(r.status, kExitConnect);
    EXPECT_EQ(r.output.substr(0, r.output.find('\n') + 1),
              typed == 21 ? "DB-Connect-Error: -1!Name:op Pwd:* Net:NOSUCHDSN Schema:" +
                                std::string(20, 'S') + "\n"
                          : "SCHEMA zu lang (max. 21 Zeichen): " + schema + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Run, NoClientAnywhereLeavesAnEmptyFileInModeNew) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  Workplace work(store, "kelvaniro_");
  std::string path = work.file("t.dat");
  write_file(path, "OLD");
  auto r = work.run({"QZDNL17P", "T01", path, "10"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output, "Mit Datenbank verbunden! Schema: KELVANIRO\n");
  EXPECT_EQ(read_file(path), "");
  write_file(path, "OLD");
  r = work.run({"QZDNL17P", "T01", path, "0"});
  EXPECT_EQ(read_file(path), "OLD");
}

TEST(Run, VisitsLinkedSchemasElseEveryActiveOneAndReportsMissingClientFiles) {
  TempStore store;
  store.sql("KVXCORE", R"(
    INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum, MndSta) VALUES
      ('dbo', 0, 1, 1, NULL), ('Dbo2', 0, 1, 2, NULL), ('NOFILE', 0, 1, 3, NULL);
    INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES
      ('T01', 1, 1, NULL), ('T01', 1, 1, NULL), ('T02', 1, 3, NULL);
    INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T03');
  )");
  store.add_client("KELVANIRO");
  store.add_client("DBO2");
  Workplace work(store);
  std::string path = work.file("t.dat");
  auto r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.output.find("Schema: KELVANIRO\n"), std::string::npos);
  EXPECT_EQ(r.output.find("Schema: DBO2\n"), std::string::npos);

  r = work.run({"QZDNL31P", "T02", path, "1"});
  EXPECT_EQ(r.status, kExitRecordsMissing);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "Schema: NOFILE\nMandantendatei NOFILE.db nicht gefunden!\n");
  EXPECT_FALSE(std::filesystem::exists(store.folder() / "NOFILE.db"));

  r = work.run({"QZDNL31P", "T03", path, "1"});
  EXPECT_EQ(r.status, kExitRecordsMissing);
  for (const char* line : {"Schema: KELVANIRO\n", "Schema: DBO2\n", "Schema: NOFILE\n"}) {
    EXPECT_NE(r.output.find(line), std::string::npos) << line;
  }
}

TEST(Run, ClearFailureStopsTheRunAndKeepsTheFile) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  store.sql("KVXCORE", "DROP TABLE Kvx999Tmp;");
  Workplace work(store);
  std::string path = work.file("t.dat");
  write_file(path, "OLD");
  auto r = work.run({"QZDNL60P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitDatabase);
  EXPECT_EQ(r.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "DB-Fehler Tab. Kvx999Tmp loeschen! ErrNr: 1 SQLSTATE: HY000\n"
            "Error Tab. Kvx999Tmp loeschen! ErrNr: -1 User: " +
                path);
  EXPECT_EQ(read_file(path), "OLD");
}

TEST(Run, UnwritableDownloadFileIsReported) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  Workplace work(store);
  std::string path = work.file("missing-folder/t.dat");
  auto r = work.run({"QZDNL18P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitFileNotWritten);
  // The lock file beside the path cannot be made either, so the run stops before connecting.
  EXPECT_EQ(r.output, "Downloadfile " + path + " konnte nicht geoeffnet werden!\n  Ordner " +
                          work.file("missing-folder") + ": No such file or directory\n");
  std::string folder = work.file("a");
  r = work.run({"QZDNL18P", "T01", folder, "1"});
  EXPECT_EQ(r.status, kExitFileNotWritten);
  EXPECT_EQ(r.output, kConnectedLine + "Downloadfile " + folder +
                          " konnte nicht geoeffnet werden!\n  Datei " + folder +
                          ": Is a directory\n");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

// A name no table knows stops the run before anything is cleared, and t01 is T01. The usage
// text's umlaut is UTF-8 in a UTF-8 locale, a parameter stays as typed. Messages are flushed
// one by one: they reach the shared pipe before the counts written to standard error at the end.
// VARNOKLIS_CONFIG names the configuration file, and the messages name it.
TEST(Run, UnknownTerminalLetterCaseAndMessages) {
  TempStore store;
  varnoklis::testing::seed_two_clients(store);
  Workplace work(store);
  std::string path = work.file("t.dat");
  ASSERT_EQ(work.run({"QZDNL31P", "T01", path, "1"}).status, kExitOk);
  const std::string records = read_file(path);
  write_file(path, "OLD");
  for (const char* locale : {"C", "C.UTF-8"}) {
    work.set_locale(locale);
    auto unknown = work.run({"QZDNL31P", "T\xe4", path, "1"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_EQ(unknown.output, kConnectedLine + "Terminal T\xe4 unbekannt!\n");
    std::string usage = "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 1" + kUsage;
    if (locale[1] == '.') usage.replace(usage.find('\xe4'), 1, "\xc3\xa4");
    EXPECT_EQ(work.run({"QZDNL31P"}).output, usage);
  }
  EXPECT_EQ(read_file(path), "OLD");
  EXPECT_EQ(
      store.query("KVXCORE", "SELECT COUNT(*) > 0 FROM Kvx999Tmp WHERE TmpUsr = '" + path + "';"),
      "1\n");
  EXPECT_EQ(work.run({"QZDNL31P", "t01", path, "1"}).status, kExitOk);
  EXPECT_EQ(read_file(path), records);
  setenv("VARNOKLIS_CONFIG", (work.root() / "k.ini").c_str(), 1);
  auto named = work.run({"QZDNL31P", "T01", path, "1"}).output;
  unsetenv("VARNOKLIS_CONFIG");
  EXPECT_EQ(named.find(std::filesystem::canonical(work.root()).string() + "/k.ini nicht"), 20u);
  auto shared = work.run_faulty("", "/dev/stdout", {"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(shared.output.substr(0, kConnectedLine.size()), kConnectedLine);
}

// A night that empties most of a client is held back: the old file stays byte for byte, the new
// one waits beside it; a higher limit releases it. Under 20 badges nothing is held, and without
// the limit a run prints what it always did.
TEST(Run, ANightThatRemovesTooMuchIsHeldBackUntilReleased) {
  TempStore store;
  varnoklis::testing::seed_two_clients(store);
  // Badges B100 to B139 of the first client, granted at reader 5, at location L1.
  store.sql("KVXCORE",
            "WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 139) "
            "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswLiz, AswMnd) "
            "SELECT 'B' || i, '20250101', NULL, '12', 1, 1 FROM n;"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto) SELECT AswNum, 'L1' FROM Kvx301Asw "
            "WHERE AswNum LIKE 'B%';");
  Workplace work(store);
  const std::string path = work.file("T01.dnl"), held = work.file(".T01.dnl.varnoklis-held");
  auto night = [&](const char* limit) {
    if (limit != nullptr) setenv("VARNOKLIS_MAX_REMOVED", limit, 1);
    auto r = work.run({"QZDNL31P", "T01", path, "1"});
    unsetenv("VARNOKLIS_MAX_REMOVED");
    return r;
  };
  auto tail = [](const testing::RunResult& r) {
    return r.output.substr(r.output.find("Ausweise gesamt: 1 davon"));
  };
  const std::string summary = "Ausweise gesamt: 1 davon in Datei gestellt: 1\n";
  ASSERT_EQ(night("50").status, kExitOk);
  const std::string old_file = read_file(path);
  auto r = night("101");
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output, "VARNOKLIS_MAX_REMOVED ungueltig (0 bis 100 Prozent): 101\n");

  // 24 of the client's 40 badges go: 24 of the file's 42 (57.1 %, shown as 58).
  store.sql("KVXCORE", "DELETE FROM Kvx301Asw WHERE AswNum BETWEEN 'B100' AND 'B123';");
  const std::string hold_line =
      "Gegenueber bisheriger Datei: 0 neu, 24 entfallen, 0 geaendert (von 42)\n"
      "Neue Datei zurueckgehalten: 24 von 42 Ausweisen entfielen (58 %), erlaubt 50 %. "
      "Bisherige Datei bleibt; freigeben mit VARNOKLIS_MAX_REMOVED=100.\n";
  std::filesystem::create_hard_link(path, path + ".link");
  r = night("50");
  EXPECT_EQ(r.status, kExitHeld);
  EXPECT_EQ(tail(r), summary + hold_line +
                         "  keine zurueckgehaltene Datei (die Datei wird an Ort und Stelle "
                         "geschrieben)\n");
  std::filesystem::remove(path + ".link");
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  r = night("50");
  EXPECT_EQ(r.status, kExitHeld);
  EXPECT_EQ(tail(r), summary + hold_line + "  zurueckgehalten als " + held + "\n");
  EXPECT_EQ(read_file(path), old_file);
  const std::string new_file = read_file(held);
  EXPECT_EQ(new_file.size(), old_file.size() - 24 * 48);
  EXPECT_EQ(std::filesystem::status(held).permissions(), std::filesystem::perms(0640));

  r = night("100");
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(tail(r),
            summary + "Gegenueber bisheriger Datei: 0 neu, 24 entfallen, 0 geaendert (von 42)\n");
  EXPECT_EQ(read_file(path), new_file);
  EXPECT_FALSE(std::filesystem::exists(held));

  // 16 of 18 badges go: too few to hold back, even under a limit of 0.
  store.sql("KVXCORE", "DELETE FROM Kvx301Asw WHERE AswNum LIKE 'B%';");
  EXPECT_EQ(tail(night("0")),
            summary + "Gegenueber bisheriger Datei: 0 neu, 16 entfallen, 0 geaendert (von 18)\n");
  write_file(path, "no records");
  EXPECT_EQ(tail(night("0")),
            summary + "Gegenueber bisheriger Datei: nicht vergleichbar (keine ganzen Saetze)\n");
  r = night(nullptr);
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(tail(r), summary);
}

}  // namespace
}  // namespace varnoklis
