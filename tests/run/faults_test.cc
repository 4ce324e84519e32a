// Runs that meet a fault: each must end with its exit status and message, and leave the
// previous download file exactly as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "builders/builder_store.h"
#include "config/cipher.h"
#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempStore;
using testing::Workplace;
using testing::write_file;

const std::string kConnected = "Mit Datenbank verbunden! Schema: KELVANIRO\n";

// What a plain open for writing could write is written, in place or appended, also in a folder
// the user cannot write (no lock file appears there); what it could not open is refused with the
// open message and stays as it was, with its owner.
TEST(Faults, DownloadFileWritableOrNotInFoldersWritableOrNot) {
  TempStore store;
  testing::seed_two_clients(store);
  Workplace work(store);
  std::string reference = work.file("reference.dat");
  auto expected = work.run({"QZDNL60P", "T01", reference, "1"});
  ASSERT_EQ(expected.status, kExitOk);
  const std::string records = read_file(reference);
  ASSERT_FALSE(records.empty());
  namespace fs = std::filesystem;
  struct Case {
    const char* file;
    mode_t permissions;
    const char* mode;
    bool written;
  };
  std::vector<Case> cases = {
      {"ro/new.dat", 0666, "1", true},         {"ro/append.dat", 0666, "0", true},
      {"ro/locked-new.dat", 0444, "1", false}, {"ro/locked.dat", 0444, "0", false},
      {"rw/locked-new.dat", 0444, "1", false}, {"rw/locked.dat", 0444, "0", false},
  };
  // In a sticky folder nobody but the owner may replace the file: it is written in place.
  if (testing::running_as_root()) cases.push_back({"sticky/shared.dat", 0666, "1", true});
  for (const char* folder : {"ro", "rw", "sticky"}) fs::create_directories(work.root() / folder);
  for (const Case& c : cases) write_file(work.root() / c.file, "OLD");
  work.open_to_unprivileged();
  for (const Case& c : cases) ASSERT_EQ(::chmod((work.root() / c.file).c_str(), c.permissions), 0);
  ASSERT_EQ(::chmod((work.root() / "ro").c_str(), 0555), 0);
  ASSERT_EQ(::chmod((work.root() / "sticky").c_str(), 01777), 0);

  for (const Case& c : cases) {
    const std::string path = (work.root() / c.file).string();
    SCOPED_TRACE(path + " mode " + c.mode);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    auto r = work.run_unprivileged({"QZDNL60P", "T01", path, c.mode});
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (c.written) {
      EXPECT_EQ(r.status, kExitOk);
      EXPECT_EQ(r.output, expected.output);
      EXPECT_EQ(read_file(path), (*c.mode == '1' ? "" : "OLD") + records);
    } else {
      EXPECT_EQ(r.status, kExitFileNotWritten);
      EXPECT_EQ(r.output, expected.output + "Downloadfile " + path +
                              " konnte nicht geoeffnet werden!\n  Datei " + path +
                              ": Permission denied" +
                              (testing::running_as_root() ? " (Eigentuemer root)\n" : "\n"));
      EXPECT_EQ(read_file(path), "OLD");
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(work.root() / "ro"), {}), 4)
      << "no lock file and no temporary file in the read-only folder";
}

TEST(Faults, StagingRowsThatCannotBeClearedStopTheRun) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  store.sql("KVXCORE", R"(
    INSERT INTO Kvx999Tmp (TmpUsr, TmpStr) VALUES ('STALE', 'old record');
    CREATE TRIGGER keep_rows BEFORE DELETE ON Kvx999Tmp BEGIN SELECT RAISE(ABORT, 'kept'); END;
  )");
  Workplace work(store);
  std::string path = work.file("t.dat");
  write_file(path, "OLD");
  store.sql("KVXCORE", "UPDATE Kvx999Tmp SET TmpUsr = '" + path + "';");
  auto r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitDatabase);
  EXPECT_EQ(r.output, kConnected +
                          "DB-Fehler Tab. Kvx999Tmp loeschen! ErrNr: 19 SQLSTATE: HY000\n" +
                          "Error Tab. Kvx999Tmp loeschen! ErrNr: -1 User: " + path);
  EXPECT_EQ(read_file(path), "OLD");
}

TEST(Faults, ReadOnlyStoreFileCannotTakeStagingRows) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  store.sql("KVXCORE", "INSERT INTO Kvx999Tmp (TmpUsr, TmpStr) VALUES ('x', 'y');");
  Workplace work(store);
  std::string path = work.file("t.dat");
  write_file(path, "OLD");
  work.open_to_unprivileged();
  ASSERT_EQ(::chmod((store.folder() / "KVXCORE.db").c_str(), 0444), 0);
  auto r = work.run_unprivileged({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitDatabase);
  EXPECT_EQ(r.output, kConnected + "DB-Fehler Tab. Kvx999Tmp loeschen! ErrNr: 8 SQLSTATE: HY000\n" +
                          "Error Tab. Kvx999Tmp loeschen! ErrNr: -1 User: " + path);
  EXPECT_EQ(read_file(path), "OLD");
}

TEST(Faults, StoreLockedByAnotherProcessBeyondTheTimeout) {
  TempStore store(200);
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  Workplace work(store);
  std::string path = work.file("t.dat");
  write_file(path, "OLD");
  // Another writer holds the store's write lock for longer than the data source's timeout (200 ms)
  // lasts through all three attempts.
  std::string holder = "sqlite3 " + testing::shell_quote((store.folder() / "KVXCORE.db").string()) +
                       " 'BEGIN IMMEDIATE;' \"INSERT INTO Kvx999Tmp VALUES ('h', 'h');\""
                       " '.shell sleep 20' 'COMMIT;' >/dev/null 2>&1 &";
  ASSERT_EQ(std::system(holder.c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  auto start = std::chrono::steady_clock::now();
  auto r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(16));
  EXPECT_EQ(r.status, kExitDatabase);
  const std::string busy = "DB-Fehler Tab. Kvx999Tmp loeschen! ErrNr: 5 SQLSTATE: HY000";
  EXPECT_EQ(r.output, kConnected + busy + " - Versuch 2 von 3\n" + busy + " - Versuch 3 von 3\n" +
                          busy + "\nError Tab. Kvx999Tmp loeschen! ErrNr: -1 User: " + path);
  EXPECT_EQ(read_file(path), "OLD");
}

TEST(Faults, UnusableConfigurationFiles) {
  TempStore store;
  Workplace work(store);
  std::string path = work.file("t.dat");
  const std::string cfg = "Konfigurationswert %s in ../../files/kelvaniro.ini ungueltig!\n";
  auto message = [&](const char* key) {
    char text[200];
    std::snprintf(text, sizeof text, cfg.c_str(), key);
    return std::string(text);
  };

  const std::string no_dsn =
      "SQLSTATE: IM002 ErrNr: 0 Text: [unixODBC][Driver Manager]Data source name not found and "
      "no default driver specified\n";
  auto missing = [](const char* key) {
    return "Konfigurationswert " + std::string(key) +
           " in ../../files/kelvaniro.ini nicht gefunden!\n";
  };
  write_file(work.config_file(), "");
  auto r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(r.output, missing("LOGIN") + missing("PASS") + missing("DATABASE") + missing("SCHEMA") +
                          "DB-Connect-Error: -1!Name: Pwd: Net: Schema:\n" + no_dsn);

  std::filesystem::remove(work.config_file());
  std::filesystem::create_directory(work.config_file());
  r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(
      r.output,
      "Konfigurationsdatei " + std::filesystem::canonical(work.config_file()).string() +
          " nicht lesbar! Arbeitsverzeichnis: " + std::filesystem::canonical(work.cwd()).string() +
          "\nDB-Connect-Error: -1!Name: Pwd: Net: Schema:\n" + no_dsn);
  std::filesystem::remove(work.config_file());

  std::string login = config::encipher("operator1");
  write_file(work.config_file(), "#;LOGIN;\r\n1;LOGIN;" + login.substr(0, 24) + "\r\n");
  r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(r.output, message("LOGIN"));

  write_file(work.config_file(), "#;LOGIN;\r\n1;LOGIN;" + std::string(208, 'A') + "\r\n");
  r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(r.output, message("LOGIN"));

  work.write_config(
      {{"LOGIN", "a-user-name-of-24-chars!"}, {"PASS", "p"}, {"DATABASE", "d"}, {"SCHEMA", "s"}});
  r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(r.output, "LOGIN zu lang (max. 23 Zeichen): a-user-name-of-24-chars!\n");
  work.write_config({{"PASS", "a-password-of-24-chars!!"}});
  r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  EXPECT_EQ(r.output,
            missing("LOGIN") + "PASS zu lang (max. 23 Zeichen): " + std::string(24, '*') + "\n");

  // Lower-case hexadecimal digits decode to other bytes: the data source name comes out wrong.
  std::string dsn = config::encipher(store.dsn());
  std::string lower = dsn;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string wrong;
  ASSERT_TRUE(config::decipher(lower, wrong));
  ASSERT_NE(wrong, store.dsn());
  write_file(work.config_file(), "#;DATABASE;\r\n1;DATABASE;" + lower + "\r\n");
  r = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitConnect);
  if (wrong.size() <= 23) {
    EXPECT_EQ(r.output, missing("LOGIN") + missing("PASS") + missing("SCHEMA") +
                            "DB-Connect-Error: -1!Name: Pwd: Net:" + wrong + " Schema:\n" + no_dsn);
  } else {
    EXPECT_EQ(r.output, "DATABASE zu lang (max. 23 Zeichen): " + wrong + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

// The first failures a new operator meets say why, and none of them shows the password; the
// driver manager even names it here, inside the path of the driver it cannot load.
TEST(Faults, FirstFailuresExplainThemselves) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx114Tsm (TsmNam) VALUES ('T01');");
  Workplace work(store);
  const std::string password = "nodriver7";
  write_file(store.odbc_ini(),
             read_file(store.odbc_ini()) + "[NODRIVER]\nDriver=/nonexistent/libnodriver7.so\n");
  using Entries = std::vector<std::pair<std::string, std::string>>;
  auto entries = [&](const std::string& dsn) {
    return Entries{{"LOGIN", "op"}, {"PASS", password}, {"DATABASE", dsn}, {"SCHEMA", "mand"}};
  };
  // The program names the folders as the system resolves them.
  auto real = [](const std::filesystem::path& p) { return std::filesystem::canonical(p).string(); };
  const std::string no_dsn =
      "SQLSTATE: IM002 ErrNr: 0 Text: [unixODBC][Driver Manager]Data source name not found and "
      "no default driver specified\n";
  const std::string named = "DB-Connect-Error: -1!Name:op Pwd:********* Net:";
  struct Case {
    Entries config;  // none: no configuration file at all
    int status;
    std::string output;
  };
  const Case cases[] = {
      {{},
       kExitConnect,
       "Konfigurationsdatei " + real(work.root()) + "/files/kelvaniro.ini nicht gefunden! " +
           "Arbeitsverzeichnis: " + real(work.cwd()) +
           "\nDB-Connect-Error: -1!Name: Pwd: Net: Schema:\n" + no_dsn},
      {{{"LOGIN", "op"}, {"DATABASE", store.dsn()}, {"SCHEMA", "mand"}},
       kExitOk,
       "Konfigurationswert PASS in ../../files/kelvaniro.ini nicht gefunden!\n"
       "Mit Datenbank verbunden! Schema: MAN\n"},
      {entries("NOSUCHDSN"), kExitConnect, named + "NOSUCHDSN Schema:MAN\n" + no_dsn},
      {entries("NODRIVER"), kExitConnect,
       named + "NODRIVER Schema:MAN\nSQLSTATE: 01000 ErrNr: 0 Text: [unixODBC][Driver Manager]"
               "Can't open lib '/nonexistent/lib*********.so' : file not found\n"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(work.config_file());
    if (!c.config.empty()) work.write_config(c.config);
    auto r = work.run({"QZDNL31P", "T01", work.file("t.dat"), "1"});
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_EQ(r.output, c.output);
    EXPECT_EQ(r.output.find(password), std::string::npos);
  }
}

}  // namespace
}  // namespace varnoklis
