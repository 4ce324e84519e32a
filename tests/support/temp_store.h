#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "db/session.h"

namespace varnoklis::testing {

/// What one shell command left: its exit status and its whole standard output.
struct RunResult {
  int status = -1;
  std::string output;
};

/// Runs a shell command; returns its exit status and standard output.
RunResult run_command(const std::string& command);
/// Quotes a text for the shell.
std::string shell_quote(const std::string& text);

/// An embedded store in a fresh temporary folder, with the project's DDL, reachable through an
/// ODBC data source of its own (the folder's odbc.ini, made the user data sources of the process).
class TempStore {
 public:
  /// A store whose data source waits up to `busy_timeout_ms` for a lock another process holds.
  explicit TempStore(int busy_timeout_ms = 2000);
  ~TempStore();
  TempStore(const TempStore&) = delete;
  TempStore& operator=(const TempStore&) = delete;

  /// Creates the file of client schema `schema` (upper case) with the client DDL.
  void add_client(std::string_view schema) const;
  /// Runs SQL statements on the central file (`file` "KVXCORE") or a client file.
  void sql(std::string_view file, std::string_view statements) const;
  /// Runs a query on a file with the sqlite3 shell and returns its output (list mode, '|').
  std::string query(std::string_view file, std::string_view statement) const;
  /// Connects `session` to the store; fails the test when it cannot.
  void connect(Session& session) const;

  /// The ODBC data source name of the store.
  const std::string& dsn() const { return dsn_; }
  /// The store's folder.
  const std::filesystem::path& folder() const { return folder_; }
  /// Path of the odbc.ini that defines the data source.
  std::filesystem::path odbc_ini() const { return folder_ / "odbc.ini"; }

 private:
  std::filesystem::path folder_;
  std::string dsn_;
};

/// A fresh empty temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// The whole content of a file; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);
/// Loads the demo's master data (scripts/demo-data) into `store`, with both demo clients.
void load_demo(const TempStore& store);
/// Writes `content` to a file, replacing it.
void write_file(const std::filesystem::path& path, std::string_view content);
/// Today's local date as YYYY-MM-DD, moved by `days`.
std::string local_date(int days = 0);
/// Today's local date as eight digits YYYYMMDD, moved by `days`.
std::string local_day_text(int days = 0);

}  // namespace varnoklis::testing
