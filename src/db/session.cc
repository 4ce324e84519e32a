#include "db/session.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/output.h"
#include "db/result_code.h"
#include "db/statement.h"

namespace varnoklis {

namespace {

std::string quoted_identifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::string quoted_literal(std::string_view value) {
  return fill("'%s'", {value});
}

const Purpose kStoreSetup{"Datenbank KvxCore anbinden"};
const Purpose kStagingStoreSetup{.what = "Datenbank KvxCore anbinden", .staging = true};
const Purpose kClientFile{"Mandantendatei anbinden"};

// A schema name becomes a file name of the store; it must not lead out of the store's folder.
bool usable_as_file_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos;
}

// Capacity of the diagnostics message; a longer message arrives cut to it.
constexpr std::size_t kDiagnosticsMessageCapacity = 999;

// A driver may repeat the connect string, password included, in its message.
void mask(std::string& text, std::string_view secret) {
  if (secret.empty()) return;
  for (std::size_t at = text.find(secret); at != std::string::npos;
       at = text.find(secret, at + secret.size())) {
    text.replace(at, secret.size(), secret.size(), '*');
  }
  // A message cut at its capacity may end in the first part of the password.
  if (text.size() < kDiagnosticsMessageCapacity) return;
  for (std::size_t n = std::min(secret.size() - 1, text.size()); n > 0; --n) {
    if (text.compare(text.size() - n, n, secret.substr(0, n)) == 0) {
      text.replace(text.size() - n, n, n, '*');
      return;
    }
  }
}

}  // namespace

std::string describe_connect_failure(const Diagnostics& diagnostics, std::string_view password) {
  std::string text = diagnostics.message;
  mask(text, password);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  std::string state = diagnostics.state;
  mask(state, password);
  return "SQLSTATE: " + state + " ErrNr: " + std::to_string(diagnostics.native) + " Text: " + text;
}

namespace {

std::string credentials_key(const std::string& data_source, const std::string& user,
                            const std::string& password, std::size_t commit_group) {
  std::string key = data_source;
  for (const std::string* part : {&user, &password}) key.append(1, '\0').append(*part);
  return key.append(1, '\0').append(commit_group <= 1 ? "1" : "n");
}

// A connection that the driver found gone answers with a state of class 08.
bool connection_failed(const Diagnostics& diag) {
  return diag.state.size() == 5 && diag.state.compare(0, 2, "08") == 0;
}

}  // namespace

bool Session::connected_as(const std::string& data_source, const std::string& user,
                           const std::string& password) const {
  return !broken_ && reading_.handle && !connected_with_.empty() &&
         connected_with_ == credentials_key(data_source, user, password, group_.size);
}

void Session::begin_run() {
  group_ = StagingGroup{.size = group_.size, .path = {}, .records = {}};
  counts_ = SessionCounts{};
  diagnostics_ = Diagnostics{};
  schema_.clear();
  badge_.clear();
  own_memory_.clear();
}

void Session::end_run() {
  group_ = StagingGroup{.size = group_.size, .path = {}, .records = {}};
  if (!reading_.handle) return;
  if (staging_.handle) {
    SQLEndTran(SQL_HANDLE_DBC, staging_.handle.get(), SQL_ROLLBACK);
    ++staging_.ends;
    if (!set_autocommit(true)) broken_ = true;
  }
  if (!attached_client_.empty()) {
    if (!quietly(reading_.handle.get(), "DETACH DATABASE " + quoted_identifier(attached_client_))) {
      broken_ = true;
    }
    attached_client_.clear();
  }
}

bool Session::quietly(SQLHANDLE connection, const std::string& text) {
  StatementHandle statement;
  if (!SQL_SUCCEEDED(statement.allocate(connection))) return false;
  SQLRETURN rc = SQLExecDirect(
      statement.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS);
  return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
}

int Session::connect(const std::string& data_source, const std::string& user,
                     const std::string& password) {
  connected_with_.clear();
  broken_ = staging_broken_ = false;
  attached_client_.clear();
  staging_.reset();
  reading_.reset();
  environment_.reset();
  diagnostics_ = Diagnostics{};
  if (!SQL_SUCCEEDED(environment_.allocate(SQL_NULL_HANDLE))) return -1;
  SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  if (open_link(reading_, false, data_source, user, password) != 0) return -1;
  if (group_.in_bursts() && open_link(staging_, true, data_source, user, password) != 0) return -1;
  connected_with_ = credentials_key(data_source, user, password, group_.size);
  return 0;
}

int Session::open_link(Link& link, bool staging, const std::string& data_source,
                       const std::string& user, const std::string& password) {
  if (!SQL_SUCCEEDED(link.handle.allocate(environment_.get()))) return -1;
  SQLRETURN rc = SQLSetConnectAttr(
      link.handle.get(), SQL_ATTR_LOGIN_TIMEOUT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts_.login)), SQL_IS_UINTEGER);
  if (!attribute_set_or_refused(rc, SQL_HANDLE_DBC, link.handle.get(), diagnostics_)) return -1;
  rc = SQLConnect(link.handle.get(),
                  reinterpret_cast<SQLCHAR*>(const_cast<char*>(data_source.c_str())), SQL_NTS,
                  reinterpret_cast<SQLCHAR*>(const_cast<char*>(user.c_str())), SQL_NTS,
                  reinterpret_cast<SQLCHAR*>(const_cast<char*>(password.c_str())), SQL_NTS);
  if (check(rc, SQL_HANDLE_DBC, link.handle.get(), &diagnostics_) != Outcome::Ok) return -1;
  link.handle.mark_connected();

  char dbms[64] = {};
  SQLSMALLINT length = 0;
  SQLGetInfo(link.handle.get(), SQL_DBMS_NAME, dbms, sizeof dbms, &length);
  dialect_ = std::strstr(dbms, "SQLite") != nullptr ? Dialect::Sqlite : Dialect::SqlServer;
  SQLUSMALLINT behavior = SQL_CB_PRESERVE;
  SQLGetInfo(link.handle.get(), SQL_CURSOR_COMMIT_BEHAVIOR, &behavior, sizeof behavior, nullptr);
  link.closes_cursors = seam_.cursor_commit_behavior(staging ? 2 : 1, behavior) != SQL_CB_PRESERVE;
  return dialect_ == Dialect::Sqlite ? attach_store(staging) : 0;
}

bool Session::set_autocommit(bool on) {
  SQLRETURN rc = SQLSetConnectAttr(connection(true), SQL_ATTR_AUTOCOMMIT,
                                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                                       on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                                   SQL_IS_UINTEGER);
  return check(rc, SQL_HANDLE_DBC, connection(true), &diagnostics_) == Outcome::Ok;
}

bool Session::begin_burst() {
  return set_autocommit(false);
}

// A failed commit may leave the transaction open (the embedded store does): the caller ends it
// with a rollback. Either end may close the connection's cursors, so both are counted. A
// rollback that fails leaves the connection in a transaction nobody can end: whatever is sent
// on it afterwards may commit or vanish, so it is given up.
bool Session::end_burst(SQLSMALLINT completion) {
  if (!end_transaction(completion)) {
    if (completion == SQL_COMMIT) return false;
    if (!transaction_already_ended(diagnostics_, dialect_) || !end_transaction_already_undone()) {
      staging_broken_ = broken_ = true;
      return false;
    }
  }
  if (completion == SQL_COMMIT) count_flush();
  if (set_autocommit(true)) return true;
  if (completion == SQL_ROLLBACK) staging_broken_ = broken_ = true;
  return false;
}

bool Session::end_transaction(SQLSMALLINT completion) {
  bool failed = completion == SQL_COMMIT ? seam_.commit_fails(++counts_.commits, diagnostics_)
                                         : seam_.rollback_fails(++counts_.rollbacks, diagnostics_);
  if (failed) return false;
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, connection(true), completion);
  ++staging_.ends;
  return check(rc, SQL_HANDLE_DBC, connection(true), &diagnostics_) == Outcome::Ok;
}

// After the database undid the transaction itself, the store's driver still takes one for open:
// it begins none for later statements, which then commit one by one, and every end fails. A
// transaction opened and rolled back here makes driver and store agree again.
bool Session::end_transaction_already_undone() {
  if (dialect_ != Dialect::Sqlite) return true;
  if (!quietly(connection(true), "BEGIN")) return false;
  ++staging_.ends;
  return SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, connection(true), SQL_ROLLBACK));
}

void Session::count_flush() {
  seam_.flushed(++counts_.flushes);
}

bool Session::count_statement(Diagnostics& diag, std::string_view text) {
  return seam_.execution_fails(++counts_.statements, text, diag);
}

bool Session::count_fetch(Diagnostics& diag) {
  return seam_.fetch_fails(++counts_.fetches, diag);
}

void Session::report_failure(std::string_view what, const Diagnostics& diag) {
  ++counts_.failures;
  if (connection_failed(diag)) broken_ = true;
  print("%s", failure_line(what, from_database(badge_), diag).c_str());
}

void Session::report_retry(std::string_view what, const Diagnostics& diag, int next_attempt) {
  print("%s", retry_line(what, from_database(badge_), diag, next_attempt).c_str());
}

int Session::run(Purpose purpose, const std::string& text) {
  Statement statement(*this, purpose);
  if (!statement.allocated()) return -1;
  return statement.execute(text) == Outcome::Error ? error_code(diagnostics_) : 0;
}

// The data source opens the central file; the statements name it as schema KvxCore, so it is
// attached under that name as well. Its folder holds the client files.
int Session::attach_store(bool staging) {
  const Purpose& setup = staging ? kStagingStoreSetup : kStoreSetup;
  std::string file;
  {
    Statement statement(*this, setup);
    if (statement.query_one("SELECT file FROM pragma_database_list WHERE name = 'main'",
                            {text_column(1000)}, ExecError::NativeNumber) != 0) {
      return -1;
    }
    file = std::string(statement.text(1));
  }
  if (file.empty()) return -1;
  store_folder_ = std::filesystem::path(file).parent_path();
  if (run(setup, "ATTACH DATABASE " + quoted_literal(file) + " AS KvxCore") != 0) return -1;
  // An attached file starts with SQLite's own synchronous setting, not the one the data source
  // gave the main file; the staging rows are written through this attachment.
  std::int32_t synchronous = 2;
  {
    Statement statement(*this, setup);
    if (statement.query_one("PRAGMA main.synchronous", {long_column()}, ExecError::NativeNumber) ==
        0) {
      synchronous = statement.integer(1);
    }
  }
  return run(setup, "PRAGMA KvxCore.synchronous = " + std::to_string(synchronous)) == 0 ? 0 : -1;
}

int Session::switch_schema(std::string_view name) {
  schema_ = std::string(name);
  if (dialect_ != Dialect::Sqlite) return 0;
  if (!attached_client_.empty()) {
    if (run(kClientFile, "DETACH DATABASE " + quoted_identifier(attached_client_)) != 0) {
      return kSchemaNotAttached;
    }
    attached_client_.clear();
  }
  if (!usable_as_file_name(schema_)) return kSchemaFileMissing;
  std::filesystem::path file = store_folder_ / (schema_ + ".db");
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return kSchemaFileMissing;
  if (run(kClientFile, "ATTACH DATABASE " + quoted_literal(file.string()) + " AS " +
                           quoted_identifier(schema_)) != 0) {
    return kSchemaNotAttached;
  }
  attached_client_ = schema_;
  return 0;
}

}  // namespace varnoklis
