#include "db/failure.h"

#include <cstdio>

namespace varnoklis {

namespace {

// The SQLite ODBC driver reports a store that stayed locked through the busy timeout as
// SQLSTATE HY000 with SQLite's own code SQLITE_BUSY (5) as the native error.
constexpr std::int32_t kSqliteBusy = 5;

std::string report(std::string_view what, std::string_view badge, const Diagnostics& diag) {
  std::string line = "DB-Fehler ";
  line.append(what);
  line += '!';
  if (!badge.empty()) {
    line += " Ausweis: ";
    line.append(badge);
  }
  char tail[64];
  std::snprintf(tail, sizeof tail, " ErrNr: %ld SQLSTATE: %.5s", static_cast<long>(diag.native),
                diag.state.c_str());
  line += tail;
  return line;
}

}  // namespace

// A deadlock victim and a locked store changed nothing; a timeout may come after the server did
// the work, which only a read or a delete can safely do again.
bool transient(const Diagnostics& diag, Dialect dialect, bool inserts) {
  if (diag.state == "40001") return true;
  if (diag.state == "HYT00") return !inserts;
  return dialect == Dialect::Sqlite && diag.state == "HY000" && diag.native == kSqliteBusy;
}

// SQL Server answers a rollback without a transaction with error 3903; the store's driver passes
// SQLite's message on.
bool transaction_already_ended(const Diagnostics& diag, Dialect dialect) {
  if (dialect == Dialect::SqlServer) return diag.native == 3903;
  return diag.state == "HY000" &&
         diag.message.find("no transaction is active") != std::string::npos;
}

std::chrono::milliseconds retry_pause(int next_attempt) {
  return std::chrono::milliseconds(next_attempt <= 2 ? 50 : 200);
}

std::string failure_line(std::string_view what, std::string_view badge, const Diagnostics& diag) {
  return report(what, badge, diag) + "\n";
}

std::string retry_line(std::string_view what, std::string_view badge, const Diagnostics& diag,
                       int next_attempt) {
  char tail[48];
  std::snprintf(tail, sizeof tail, " - Versuch %d von %d\n", next_attempt, kStatementAttempts);
  return report(what, badge, diag) + tail;
}

}  // namespace varnoklis
