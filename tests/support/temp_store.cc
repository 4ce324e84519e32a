#include "support/temp_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace varnoklis::testing {

namespace fs = std::filesystem;

namespace {

fs::path make_temp_folder() {
  std::string pattern = (fs::temp_directory_path() / "varnoklis-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return fs::path(pattern);
}

// Runs the sqlite3 shell on `file`; returns its output, or throws when the shell fails.
std::string run_sqlite(const fs::path& file, std::string_view statements) {
  RunResult result =
      run_command("sqlite3 -batch -bail " + shell_quote(file.string()) +
                  " 2>&1 <<'__SQL__'\n.timeout 5000\n" + std::string(statements) + "\n__SQL__\n");
  if (result.status != 0) throw std::runtime_error("sqlite3 failed: " + result.output);
  return result.output;
}

fs::path source_path(const char* relative) {
  return fs::path(VARNOKLIS_SOURCE_DIR) / relative;
}

std::string date_text(int days, const char* format) {
  std::time_t now = std::time(nullptr) + static_cast<std::time_t>(days) * 86400;
  std::tm local{};
  localtime_r(&now, &local);
  // Noon keeps a move by whole days off the daylight-saving edges.
  local.tm_hour = 12;
  now = std::mktime(&local);
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

}  // namespace

std::string shell_quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

RunResult run_command(const std::string& command) {
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TempStore::TempStore(int busy_timeout_ms) : folder_(make_temp_folder()) {
  static int counter = 0;
  dsn_ = "VKSTORE" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  run_sqlite(folder_ / "KVXCORE.db", read_file(source_path("schema/sqlite/kvxcore.sql")));
  write_file(odbc_ini(), "[" + dsn_ +
                             "]\nDriver=SQLite3\nDatabase=" + (folder_ / "KVXCORE.db").string() +
                             "\nTimeout=" + std::to_string(busy_timeout_ms) +
                             "\nJournalMode=WAL\nSyncPragma=NORMAL\n");
  // The driver stays loaded to the end of the process, so that leak reports can name it.
  write_file(
      folder_ / "odbcinst.ini",
      "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=libsqlite3odbc.so\nDontDLClose=1\n");
  setenv("ODBCINI", odbc_ini().c_str(), 1);
  setenv("ODBCSYSINI", folder_.c_str(), 1);
}

TempStore::~TempStore() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

void TempStore::add_client(std::string_view schema) const {
  run_sqlite(folder_ / (std::string(schema) + ".db"),
             read_file(source_path("schema/sqlite/client.sql")));
}

void TempStore::sql(std::string_view file, std::string_view statements) const {
  run_sqlite(folder_ / (std::string(file) + ".db"), statements);
}

std::string TempStore::query(std::string_view file, std::string_view statement) const {
  return run_sqlite(folder_ / (std::string(file) + ".db"), statement);
}

void TempStore::connect(Session& session) const {
  setenv("ODBCINI", odbc_ini().c_str(), 1);
  setenv("ODBCSYSINI", folder_.c_str(), 1);
  ASSERT_EQ(session.connect(dsn_, "", ""), 0) << session.diagnostics().message;
  ASSERT_EQ(session.dialect(), Dialect::Sqlite);
}

TempDir::TempDir() : path_(make_temp_folder()) {}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_file(const fs::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string local_date(int days) {
  return date_text(days, "%Y-%m-%d");
}
std::string local_day_text(int days) {
  return date_text(days, "%Y%m%d");
}

void load_demo(const TempStore& store) {
  auto source = [](const char* relative) {
    return read_file(std::string(VARNOKLIS_SOURCE_DIR) + "/" + relative);
  };
  store.sql("KVXCORE", source("scripts/demo-data/kvxcore.sql"));
  for (const char* client : {"MANDANT1", "KELVANIRO"}) store.add_client(client);
  store.sql("MANDANT1", source("scripts/demo-data/mandant1.sql"));
  store.sql("KELVANIRO", source("scripts/demo-data/kelvaniro.sql"));
}

}  // namespace varnoklis::testing
