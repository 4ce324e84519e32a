#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "db/answer_memory.h"
#include "db/failure.h"
#include "db/odbc.h"
#include "db/sql_text.h"

namespace varnoklis {

/// Capacity of the current client schema name.
inline constexpr std::size_t kSchemaCapacity = 20;

/// The one database session of a run: connection, dialect, current client schema, diagnostics.
class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// Connects to the data source; 0 when connected, -1 otherwise (diagnostics filled).
  int connect(const std::string& data_source, const std::string& user, const std::string& password);

  /// Makes `name` the current client schema; with the embedded store it also attaches the
  /// schema's file. Returns 0, -1 when the embedded store has no file for the schema, or -2 when
  /// the file could not be attached (or the previous one not detached).
  int switch_schema(std::string_view name);

  /// The name that qualifies client tables in the statements.
  const std::string& schema() const { return schema_; }
  /// The dialect chosen after connecting.
  Dialect dialect() const { return dialect_; }
  /// The first diagnostic record of the last failed execution.
  Diagnostics& diagnostics() { return diagnostics_; }
  /// The connection handle; SQL_NULL_HANDLE before connecting.
  SQLHANDLE connection() const { return connection_.get(); }
  /// The folder of the embedded store (empty with SQL Server).
  const std::filesystem::path& store_folder() const { return store_folder_; }

  /// Number of statements executed so far (every attempt counts).
  std::uint64_t statements_sent() const { return statements_sent_; }
  /// Counts one executed statement; true when the fault hook makes it fail (diag then filled).
  bool count_statement(Diagnostics& diag);
  /// Whether repeated questions are answered from memory (on unless switched off).
  bool remembering() const { return remembering_; }
  /// Switches answering repeated questions from memory on or off.
  void set_remembering(bool on) { remembering_ = on; }
  /// The answers remembered so far.
  AnswerMemory& memory() { return memory_; }
  /// Number of statements answered from memory instead of being sent.
  std::uint64_t remembered() const { return remembered_; }
  /// Counts one statement answered from memory.
  void count_remembered() { ++remembered_; }

  /// Number of fetches so far.
  std::uint64_t fetches() const { return fetches_; }
  /// Counts one fetch; true when the fault hook makes it fail (diag then filled).
  bool count_fetch(Diagnostics& diag);
  /// Installs the test seam that makes chosen executions or fetches fail.
  void set_fault_hook(FaultHook hook) { fault_hook_ = std::move(hook); }

  /// Names the badge whose statements run now, for failure reports.
  void set_badge(std::string_view badge) { badge_.assign(badge); }
  /// No badge is being handled any longer.
  void clear_badge() { badge_.clear(); }
  /// Reports a failed statement once and counts it.
  void report_failure(std::string_view what, const Diagnostics& diag);
  /// Reports that a transiently failed statement is tried again as attempt `next_attempt`.
  void report_retry(std::string_view what, const Diagnostics& diag, int next_attempt);
  /// Number of statements that failed for good in this run.
  std::uint64_t failures() const { return failures_; }

 private:
  int attach_store();
  int run(std::string_view what, const std::string& text);

  EnvHandle environment_;
  ConnectionHandle connection_;
  Dialect dialect_ = Dialect::SqlServer;
  std::string schema_;
  std::string attached_client_;
  std::filesystem::path store_folder_;
  Diagnostics diagnostics_;
  std::uint64_t statements_sent_ = 0;
  std::uint64_t fetches_ = 0;
  std::uint64_t failures_ = 0;
  std::uint64_t remembered_ = 0;
  bool remembering_ = true;
  AnswerMemory memory_;
  std::string badge_;
  FaultHook fault_hook_;
};

/// The first diagnostic record of a failed connect as one line without line end,
/// "SQLSTATE: s ErrNr: n Text: t", with every trace of `password` in it shown as asterisks.
std::string describe_connect_failure(const Diagnostics& diagnostics, std::string_view password);

}  // namespace varnoklis
