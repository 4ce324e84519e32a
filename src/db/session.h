#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/answer_memory.h"
#include "db/failure.h"
#include "db/odbc.h"
#include "db/session_counts.h"
#include "db/sql_text.h"
#include "db/staging_group.h"
#include "db/test_seam.h"
#include "db/timeouts.h"
#include "db/trace.h"

namespace varnoklis {

/// Capacity of the current client schema name.
inline constexpr std::size_t kSchemaCapacity = 20;

/// The database session of a run: the reading connection, and with groups the staging
/// connection, the dialect, current client schema, diagnostics. Both connections stay open as
/// long as the object lives, so that one session can serve several runs one after the other.
class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// Whether both connections are open for these credentials and the present commit group,
  /// and no statement found a connection broken since.
  bool connected_as(const std::string& data_source, const std::string& user,
                    const std::string& password) const;
  /// Starts a run on this session: counts, badge, client schema, the run's memory and collected
  /// records begin as in a fresh session; the connections stay.
  void begin_run();
  /// Ends a run so that the next one finds the connections as after a connect: any open
  /// transaction rolled back, the client file detached. Nothing is counted or reported; a
  /// connection that refuses is taken for broken.
  void end_run();

  /// Connects to the data source, twice when records are committed in groups; 0 when connected,
  /// -1 otherwise (diagnostics filled).
  int connect(const std::string& data_source, const std::string& user, const std::string& password);

  /// The login and query timeouts of the connections opened from now on and their statements.
  void set_timeouts(const DatabaseTimeouts& timeouts) { timeouts_ = timeouts; }
  /// The query timeout a statement is given, in seconds; none (-1) where the driver would not
  /// honour it as a limit on the statement: the embedded store's driver takes the attribute and
  /// ignores it, its waits for a lock end after the data source's own `Timeout`.
  int query_timeout() const { return dialect_ == Dialect::SqlServer ? timeouts_.query : -1; }

  /// The records collected for the next burst, and its size (set before connecting).
  StagingGroup& group() { return group_; }
  /// Starts a burst on the staging connection: automatic commit off. false when refused
  /// (diagnostics filled).
  bool begin_burst();
  /// Ends the burst with SQL_COMMIT or SQL_ROLLBACK and turns automatic commit on again;
  /// false when that failed (diagnostics filled). A rollback that finds the transaction already
  /// undone by the database succeeds; any other failed rollback breaks the staging connection.
  bool end_burst(SQLSMALLINT completion);
  /// Whether a failed rollback broke the staging connection: nothing more may be sent on it.
  bool staging_broken() const { return staging_broken_; }
  /// Counts records built after the staging connection broke, never sent.
  void count_unsent(std::size_t records) { counts_.unsent += records; }
  /// Counts a commit that took effect and tells the test seam.
  void count_flush();
  /// Number of transactions ended on the reading (`staging` false) or the staging connection.
  std::uint64_t transaction_ends(bool staging) const { return link(staging).ends; }
  /// Whether the driver closes that connection's cursors when a transaction ends there.
  bool cursors_close_on_commit(bool staging) const { return link(staging).closes_cursors; }

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
  /// The reading connection (`staging` false) or the one the staging statements use, which is
  /// the reading one without groups; SQL_NULL_HANDLE before connecting.
  SQLHANDLE connection(bool staging = false) const { return link(staging).handle.get(); }

  /// What the session counted in the present run.
  const SessionCounts& counts() const { return counts_; }
  /// Counts one executed statement, `text`; true when the fault hook makes it fail (diag then
  /// filled). The hook finds the text in its diagnostics' message.
  bool count_statement(Diagnostics& diag, std::string_view text);
  /// Whether repeated questions are answered from memory (on unless switched off).
  bool remembering() const { return remembering_; }
  /// Switches answering repeated questions from memory on or off.
  void set_remembering(bool on) { remembering_ = on; }
  /// The memory that answers repeated questions: the session's own, or one shared.
  AnswerMemory& memory() { return *memory_; }
  /// Answers repeated questions from `memory`, which other sessions may share, from now on.
  void share_memory(AnswerMemory& memory) { memory_ = &memory; }
  /// With a shared memory, the session's own memory of the present run, which keeps the answers
  /// the shared one has no room for; null otherwise.
  AnswerMemory* run_memory() { return shares_memory() ? &own_memory_ : nullptr; }
  /// Whether the session answers from a memory other sessions may share (a batch's).
  bool shares_memory() const { return memory_ != &own_memory_; }
  /// Number of answers this session is asking for the memory now, not yet kept or released.
  int claims() const { return claims_; }
  /// Counts a claim on an answer taken (+1) or ended (-1).
  void count_claim(int change) { claims_ += change; }
  /// Counts one statement answered from memory.
  void count_remembered() { ++counts_.remembered; }
  /// Counts one fetch; true when the fault hook makes it fail (diag then filled).
  bool count_fetch(Diagnostics& diag);
  /// The test seam.
  TestSeam& seam() { return seam_; }

  /// Names the badge whose statements run now, for failure reports.
  void set_badge(std::string_view badge) { badge_.assign(badge); }
  /// The badge whose statements run now; empty between badges.
  const std::string& badge() const { return badge_; }
  /// No badge is being handled any longer.
  void clear_badge() { badge_.clear(); }
  /// The trace that the statements and checks report to; null in a normal run.
  Trace* trace() const { return trace_; }
  /// Reports to `trace` from now on; nullptr: nothing is reported.
  void set_trace(Trace* trace) { trace_ = trace; }
  /// The sink that takes records instead of the staging table; null in a normal run.
  RecordSink* sink() const { return sink_; }
  /// Gives records to `sink` instead of staging them from now on; nullptr: staged again.
  void set_sink(RecordSink* sink) { sink_ = sink; }
  /// Reports a failed statement once and counts it.
  void report_failure(std::string_view what, const Diagnostics& diag);
  /// Reports that a transiently failed statement is tried again as attempt `next_attempt`.
  void report_retry(std::string_view what, const Diagnostics& diag, int next_attempt);

 private:
  struct Link {
    ConnectionHandle handle;
    bool closes_cursors = false;  // the driver closes this connection's cursors on commit
    std::uint64_t ends = 0;
    void reset() {
      handle.reset();
      closes_cursors = false;
      ends = 0;
    }
  };

  const Link& link(bool staging) const { return staging && staging_.handle ? staging_ : reading_; }

  int open_link(Link& link, bool staging, const std::string& data_source, const std::string& user,
                const std::string& password);
  int attach_store(bool staging);
  int run(Purpose purpose, const std::string& text);
  bool set_autocommit(bool on);
  bool quietly(SQLHANDLE connection, const std::string& text);
  bool end_transaction(SQLSMALLINT completion);
  bool end_transaction_already_undone();

  EnvHandle environment_;
  Link reading_;
  Link staging_;
  DatabaseTimeouts timeouts_;
  StagingGroup group_;
  bool staging_broken_ = false;
  Dialect dialect_ = Dialect::SqlServer;
  std::string schema_;
  std::string attached_client_;
  std::filesystem::path store_folder_;
  Diagnostics diagnostics_;
  SessionCounts counts_;
  bool remembering_ = true;
  AnswerMemory own_memory_;
  AnswerMemory* memory_ = &own_memory_;
  int claims_ = 0;
  std::string connected_with_;  // data source, user and password of the open connections
  bool broken_ = false;
  std::string badge_;
  TestSeam seam_;
  Trace* trace_ = nullptr;
  RecordSink* sink_ = nullptr;
};

/// The first diagnostic record of a failed connect as one line without line end,
/// "SQLSTATE: s ErrNr: n Text: t", with every trace of `password` in it shown as asterisks.
std::string describe_connect_failure(const Diagnostics& diagnostics, std::string_view password);

}  // namespace varnoklis
