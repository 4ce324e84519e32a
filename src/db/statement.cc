#include "db/statement.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "db/result_code.h"
#include "db/text.h"
#include "db/timeouts.h"

namespace varnoklis {

Statement::Statement(Session& session, Purpose purpose)
    : session_(session), purpose_(purpose), source_(session, purpose.per_badge) {
  if (remembers()) {
    deferred_ = true;
    return;
  }
  allocate();
}

Statement::~Statement() {
  if (source_.recording()) finish_recording();
}

bool Statement::allocate() {
  deferred_ = false;
  SQLHANDLE connection = session_.connection(purpose_.staging);
  Diagnostics diag;
  if (SQL_SUCCEEDED(handle_.allocate(connection))) {
    if (cursor_attributes_) apply_cursor_attributes();
    if (apply_query_timeout(diag)) return true;
    handle_.reset();
  } else if (connection != SQL_NULL_HANDLE) {
    read_diagnostics(SQL_HANDLE_DBC, connection, diag);
  }
  session_.report_failure(purpose_.what, diag);
  return false;
}

bool Statement::apply_query_timeout(Diagnostics& diag) {
  int timeout = session_.query_timeout();
  if (timeout < 0) return true;
  SQLRETURN rc =
      SQLSetStmtAttr(handle_.get(), SQL_ATTR_QUERY_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout)), SQL_IS_UINTEGER);
  return attribute_set_or_refused(rc, SQL_HANDLE_STMT, handle_.get(), diag);
}

void Statement::set_cursor_attributes() {
  cursor_attributes_ = true;
  if (handle_) apply_cursor_attributes();
}

void Statement::apply_cursor_attributes() {
  SQLSetStmtAttr(handle_.get(), SQL_ATTR_CURSOR_SCROLLABLE,
                 reinterpret_cast<SQLPOINTER>(SQL_NONSCROLLABLE), SQL_IS_INTEGER);
  SQLSetStmtAttr(handle_.get(), SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(SQL_CONCUR_LOCK),
                 SQL_IS_INTEGER);
}

void Statement::report_question(const std::string& text, bool from_memory) {
  if (Trace* trace = session_.trace()) trace->question(this, text, from_memory);
}

void Statement::report_row() const {
  TracedRow row;
  row.reserve(columns_);
  for (std::size_t i = 0; i < columns_; ++i) {
    int column = static_cast<int>(i + 1);
    if (is_null(column)) {
      row.emplace_back();
    } else if (bound_[i].column.kind == Column::Text) {
      row.emplace_back(std::string(text(column)));
    } else if (bound_[i].column.kind == Column::Long) {
      row.emplace_back(std::to_string(integer(column)));
    } else {
      char shown[32];
      std::snprintf(shown, sizeof shown, "%.15g", real(column));
      row.emplace_back(shown);
    }
  }
  session_.trace()->answer(this, std::move(row));
}

Outcome Statement::execute(const SqlText& sql, Values values) {
  if (!remembers()) {
    std::string text = fill(sql, session_.dialect(), values);
    report_question(text, false);
    return send(text);
  }
  bool remembered = source_.ask(sql, values);
  report_question(source_.text(), remembered);
  if (remembered) return Outcome::Ok;
  Outcome outcome = deferred_ && !allocate() ? Outcome::Error : send(source_.text());
  if (outcome == Outcome::Ok) {
    source_.start_recording();
  } else {
    source_.abandon();
  }
  return outcome;
}

Outcome Statement::send(const std::string& text) {
  for (int attempt = 1;; ++attempt) {
    Outcome outcome = execute_once(text);
    if (outcome != Outcome::Error) return outcome;
    const Diagnostics& diag = session_.diagnostics();
    if (attempt == kStatementAttempts || !transient(diag, session_.dialect(), purpose_.inserts)) {
      session_.report_failure(purpose_.what, diag);
      return outcome;
    }
    session_.report_retry(purpose_.what, diag, attempt + 1);
    session_.seam().pause_before(attempt + 1);
    SQLFreeStmt(handle_.get(), SQL_CLOSE);
  }
}

Outcome Statement::execute_once(const std::string& text) {
  Diagnostics& diag = session_.diagnostics();
  ends_seen_ = session_.transaction_ends(purpose_.staging);
  if (session_.count_statement(diag, text)) return Outcome::Error;
  SQLRETURN rc = SQLExecDirect(
      handle_.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS);
  // A statement that changes no row reports "no data"; it still ran.
  if (rc == SQL_NO_DATA) return Outcome::NoData;
  if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
    read_diagnostics(SQL_HANDLE_STMT, handle_.get(), diag);
  }
  return check(rc, SQL_HANDLE_STMT, handle_.get(), nullptr);
}

bool Statement::bind(std::initializer_list<Column> columns) {
  if (columns.size() > kMaxColumns) return false;
  // A remembered answer serves only the columns it was fetched with; any other binding asks
  // the database.
  std::span<const Column> layout(columns.begin(), columns.size());
  if (source_.replaying() && !source_.serves(layout)) {
    broken_ = (deferred_ && !allocate()) || send(source_.text()) == Outcome::Error;
  }
  if (source_.recording()) source_.record_layout(layout);
  std::size_t offset = 0;
  columns_ = 0;
  for (const Column& column : columns) {
    std::size_t size = column.kind == Column::Text ? column.width + 1 : 8;
    if (offset + size > buffer_.size()) return false;
    bound_[columns_] = BoundColumn{column, offset, SQL_NULL_DATA};
    BoundColumn& b = bound_[columns_];
    ++columns_;
    SQLSMALLINT type = column.kind == Column::Text   ? SQL_C_CHAR
                       : column.kind == Column::Long ? SQL_C_SLONG
                                                     : SQL_C_DOUBLE;
    if (handle_) {
      SQLBindCol(handle_.get(), static_cast<SQLUSMALLINT>(columns_), type, buffer_.data() + offset,
                 static_cast<SQLLEN>(size), &b.indicator);
    }
    offset += (size + 7) / 8 * 8;
  }
  return true;
}

Outcome Statement::fetch() {
  Outcome outcome = fetch_row();
  if (outcome == Outcome::Ok && session_.trace() != nullptr) report_row();
  return outcome;
}

Outcome Statement::fetch_row() {
  for (std::size_t i = 0; i < columns_; ++i) bound_[i].indicator = SQL_NULL_DATA;
  if (source_.replaying()) return fetch_remembered();
  if (broken_) {
    last_fetch_ = SQL_ERROR;
    return Outcome::Error;
  }
  Diagnostics& diag = session_.diagnostics();
  if (session_.count_fetch(diag)) {
    last_fetch_ = SQL_ERROR;
  } else if (closed_by_commit()) {
    // The driver closed the cursor when a transaction ended on its connection; whatever a
    // fetch would answer now must not pass for the end of the rows.
    last_fetch_ = SQL_ERROR;
    diag = Diagnostics{"24000", "cursor closed by a commit on its connection", 0};
  } else {
    last_fetch_ = SQLFetch(handle_.get());
    if (last_fetch_ == SQL_ERROR || last_fetch_ == SQL_INVALID_HANDLE) {
      read_diagnostics(SQL_HANDLE_STMT, handle_.get(), diag);
    }
  }
  Outcome outcome = check(last_fetch_, SQL_HANDLE_STMT, handle_.get(), nullptr);
  if (outcome == Outcome::Error) session_.report_failure(purpose_.what, diag);
  if (source_.recording()) record(outcome);
  return outcome;
}

bool Statement::closed_by_commit() const {
  return session_.cursors_close_on_commit(purpose_.staging) &&
         session_.transaction_ends(purpose_.staging) != ends_seen_;
}

Outcome Statement::fetch_remembered() {
  last_fetch_ = source_.replay(bound_columns(), buffer_.data());
  return last_fetch_ == SQL_NO_DATA ? Outcome::NoData : Outcome::Ok;
}

void Statement::record(Outcome outcome) {
  if (outcome == Outcome::Ok) {
    source_.record_row(last_fetch_, bound_columns(), buffer_.data());
  } else {
    source_.end_recording(outcome == Outcome::NoData);
  }
}

// A caller that stopped before the end (a single-row query, the first reader) leaves rows of
// the result unread; they are read here, outside the run's own fetches, so that the answer is
// whole. Anything but a clean end keeps the answer out of memory.
void Statement::finish_recording() {
  for (;;) {
    for (std::size_t i = 0; i < columns_; ++i) bound_[i].indicator = SQL_NULL_DATA;
    last_fetch_ = SQLFetch(handle_.get());
    if (last_fetch_ == SQL_SUCCESS || last_fetch_ == SQL_SUCCESS_WITH_INFO) {
      record(Outcome::Ok);
      continue;
    }
    source_.end_recording(last_fetch_ == SQL_NO_DATA);
    return;
  }
}

int Statement::query_one(const SqlText& sql, Values values, std::initializer_list<Column> columns,
                         ExecError on_error) {
  if (!allocated()) return -1;
  if (execute(sql, values) == Outcome::Error) {
    return on_error == ExecError::NativeNumber ? error_code(session_.diagnostics()) : -1;
  }
  if (!bind(columns)) return -1;
  switch (fetch()) {
    case Outcome::Ok:
      return 0;
    case Outcome::NoData:
      return kNoData;
    case Outcome::Error:
      return -1;
  }
  return -1;
}

bool Statement::is_null(int column) const {
  if (column < 1 || static_cast<std::size_t>(column) > columns_) return true;
  return bound(column).indicator == SQL_NULL_DATA;
}

std::string_view Statement::text(int column) const {
  if (is_null(column) || bound(column).column.kind != Column::Text) return {};
  const char* data = buffer_.data() + bound(column).offset;
  return std::string_view(data, strnlen(data, bound(column).column.width));
}

std::string_view Statement::trimmed(int column) const {
  return right_trimmed(text(column));
}

std::int32_t Statement::integer(int column) const {
  if (is_null(column) || bound(column).column.kind != Column::Long) return 0;
  std::int32_t value = 0;
  std::memcpy(&value, buffer_.data() + bound(column).offset, sizeof value);
  return value;
}

double Statement::real(int column) const {
  if (is_null(column) || bound(column).column.kind != Column::Double) return 0.0;
  double value = 0.0;
  std::memcpy(&value, buffer_.data() + bound(column).offset, sizeof value);
  return value;
}

int Cursor::open(Session& session, Purpose purpose, const SqlText& sql, Values values,
                 std::initializer_list<Column> columns) {
  statement_.reset();
  statement_.emplace(session, purpose);
  if (!statement_->allocated()) {
    statement_.reset();
    return -1;
  }
  statement_->set_cursor_attributes();
  if (statement_->execute(sql, values) == Outcome::Error) {
    statement_.reset();
    return error_code(session.diagnostics());
  }
  statement_->bind(columns);
  return 0;
}

Outcome Cursor::fetch() {
  return statement_ ? statement_->fetch() : Outcome::Error;
}

}  // namespace varnoklis
