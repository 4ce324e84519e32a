#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "db/answer_memory.h"
#include "db/answer_source.h"
#include "db/failure.h"
#include "db/odbc.h"
#include "db/session.h"
#include "db/sql_text.h"

namespace varnoklis {

/// How a single-row query reports a failed execution.
enum class ExecError { MinusOne, NativeNumber };

/// One statement on the session's connection, with its bound result columns. A NULL column reads
/// as empty text or 0; a text longer than its column arrives cut to the column width. Every
/// failure (allocation, execution, fetch) is reported once through the session, named by the
/// statement's purpose; a transient execution failure is tried again first. A statement whose
/// purpose is a repeated question asks its answer source before it sends anything.
class Statement {
 public:
  /// Allocates a statement on the session's connection (for a repeated question only when its
  /// text must really be sent); `allocated()` tells whether it worked.
  Statement(Session& session, Purpose purpose);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  /// Whether a statement handle is held or will be allocated when needed.
  bool allocated() const { return deferred_ || static_cast<bool>(handle_); }
  /// Sets the cursor attributes of the query helpers: forward-only, lock concurrency.
  void set_cursor_attributes();
  /// Executes `sql` filled with `values` directly, up to three attempts when it fails
  /// transiently; on an error the session's diagnostics are filled and the failure is reported.
  Outcome execute(const SqlText& sql, Values values);
  /// `execute` with the values listed.
  Outcome execute(const SqlText& sql, std::initializer_list<std::string_view> values) {
    return execute(sql, Values(values.begin(), values.size()));
  }
  /// `execute` of a finished text.
  Outcome execute(const std::string& text) { return execute(SqlText{text, {}}, Values{}); }
  /// Executes `text` in a single attempt: no second attempt, nothing reported, never answered
  /// from memory; on an error the session's diagnostics are filled.
  Outcome execute_once(const std::string& text);
  /// Binds the result columns 1 to n; false when they do not fit the statement's buffer.
  bool bind(std::initializer_list<Column> columns);
  /// Fetches the next row into the bound columns; a failure is reported.
  Outcome fetch();
  /// The ODBC result of the last fetch (SQL_SUCCESS_WITH_INFO for a cut text, SQL_NO_DATA, ...).
  SQLRETURN last_fetch_result() const { return last_fetch_; }

  /// Allocation already done: executes, binds, fetches one row. 0, -1, the native error number
  /// (ExecError::NativeNumber), or the fetch result (100 no row, -1 failure).
  int query_one(const SqlText& sql, Values values, std::initializer_list<Column> columns,
                ExecError on_error);
  /// `query_one` with the values listed.
  int query_one(const SqlText& sql, std::initializer_list<std::string_view> values,
                std::initializer_list<Column> columns, ExecError on_error) {
    return query_one(sql, Values(values.begin(), values.size()), columns, on_error);
  }
  /// `query_one` of a finished text.
  int query_one(const std::string& text, std::initializer_list<Column> columns,
                ExecError on_error) {
    return query_one(SqlText{text, {}}, Values{}, columns, on_error);
  }

  /// Text of result column `column` (1-based) as fetched; empty when NULL.
  std::string_view text(int column) const;
  /// Text of result column `column` without trailing blanks, tabs and line feeds.
  std::string_view trimmed(int column) const;
  /// Integer of result column `column`; 0 when NULL.
  std::int32_t integer(int column) const;
  /// Double of result column `column`; 0 when NULL.
  double real(int column) const;
  /// Whether result column `column` was NULL in the last row.
  bool is_null(int column) const;

 private:
  static constexpr std::size_t kMaxColumns = 16;
  static constexpr std::size_t kBufferSize = 1024;

  const BoundColumn& bound(int column) const {
    return bound_[static_cast<std::size_t>(column - 1)];
  }
  std::span<BoundColumn> bound_columns() { return {bound_.data(), columns_}; }
  // A single run does not remember what it asks once per badge; a batch does.
  bool remembers() const {
    return purpose_.repeated_question && session_.remembering() &&
           (!purpose_.per_badge || session_.shares_memory());
  }
  bool allocate();
  void apply_cursor_attributes();
  bool apply_query_timeout(Diagnostics& diag);
  Outcome send(const std::string& text);
  Outcome fetch_row();
  void report_question(const std::string& text, bool from_memory);
  void report_row() const;
  Outcome fetch_remembered();
  bool closed_by_commit() const;
  void record(Outcome outcome);
  void finish_recording();

  Session& session_;
  Purpose purpose_;
  StatementHandle handle_;
  std::array<BoundColumn, kMaxColumns> bound_{};
  std::size_t columns_ = 0;
  SQLRETURN last_fetch_ = SQL_ERROR;
  bool deferred_ = false;
  bool cursor_attributes_ = false;
  bool broken_ = false;
  std::uint64_t ends_seen_ = 0;  // transactions ended on the connection when last executed
  AnswerSource source_;
  // Left uninitialised: a column is read only after a fetch has written it or marked it NULL.
  alignas(8) std::array<char, kBufferSize> buffer_;
};

/// A query helper: a cursor that stays open between fetches until closed.
class Cursor {
 public:
  /// Allocates, sets the cursor attributes and executes `text`, then binds `columns`.
  /// 0 when open, -1 when no statement could be allocated, else the native error number.
  int open(Session& session, Purpose purpose, const SqlText& sql, Values values,
           std::initializer_list<Column> columns);
  /// `open` with the values listed.
  int open(Session& session, Purpose purpose, const SqlText& sql,
           std::initializer_list<std::string_view> values, std::initializer_list<Column> columns) {
    return open(session, purpose, sql, Values(values.begin(), values.size()), columns);
  }
  /// `open` of a finished text.
  int open(Session& session, Purpose purpose, const std::string& text,
           std::initializer_list<Column> columns) {
    return open(session, purpose, SqlText{text, {}}, Values{}, columns);
  }
  /// Fetches the next row; Error when no cursor is open.
  Outcome fetch();
  /// Frees the statement, if one is held.
  void close() { statement_.reset(); }
  /// Whether a cursor is open.
  bool is_open() const { return statement_.has_value(); }
  /// The current row; only valid while open.
  const Statement& row() const { return *statement_; }

 private:
  std::optional<Statement> statement_;
};

}  // namespace varnoklis
