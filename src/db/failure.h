#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "db/odbc.h"
#include "db/sql_text.h"

namespace varnoklis {

/// What a statement reads or writes, as a failure report names it ("Leser lesen"), and whether
/// its answer is master data that the run may ask for again and again.
struct Purpose {
  std::string_view what;
  bool repeated_question = false;
  /// An insert, which a timed-out attempt may already have done: a timeout is not tried again.
  bool inserts = false;
  bool staging = false;  ///< sent on the staging connection (the clear, inserts, read-back)
  /// A repeated question asked once per badge (its values name the badge or its person): only a
  /// batch, whose jobs share the answers, remembers it.
  bool per_badge = false;
};

/// Attempts in all for a statement that fails transiently.
inline constexpr int kStatementAttempts = 3;

/// Whether a failed execution is worth another attempt: a serialization failure (a deadlock
/// victim), a timeout (not for an insert), or the embedded store still locked after its busy
/// timeout.
bool transient(const Diagnostics& diag, Dialect dialect, bool inserts = false);

/// Whether a failed rollback found no transaction, because the database had already undone it:
/// the store's "no transaction is active", SQL Server's error 3903.
bool transaction_already_ended(const Diagnostics& diag, Dialect dialect);

/// The pause before attempt `next_attempt` (2 or 3) of a transiently failed statement.
std::chrono::milliseconds retry_pause(int next_attempt);

/// The report of a failed statement: what was read, the badge (when there is one), the native
/// error number and the SQLSTATE, one line.
std::string failure_line(std::string_view what, std::string_view badge, const Diagnostics& diag);

/// The report of a transient failure that is tried again as attempt `next_attempt`.
std::string retry_line(std::string_view what, std::string_view badge, const Diagnostics& diag,
                       int next_attempt);

/// Where a fault can be made to happen: the execution of a statement, the fetch of a row, the
/// commit or the rollback of a burst of staged records; a commit that took effect; what the
/// driver answers for its cursors on commit; or the pause before a transiently failed statement
/// is tried again.
enum class FaultPoint {
  Execute,
  Fetch,
  Commit,
  Rollback,
  Flushed,
  CursorCommitBehavior,
  RetryPause
};

/// A test seam: asked before each execution attempt, fetch, commit and rollback with its ordinal in
/// the run (1-based, per point); returning true fails that call with the diagnostics it filled.
/// Told with Flushed (its answer ignored) after every commit that took effect: each burst's,
/// and without groups each staged record's under automatic commit.
/// Asked with CursorCommitBehavior once per connection (ordinal 1 reading, 2 staging) after
/// connecting; returning true makes `diag.native` the connection's SQL_CURSOR_COMMIT_BEHAVIOR.
/// Asked with RetryPause (ordinal: the next attempt) before each pause of `retry_pause`;
/// returning true leaves that pause out.
using FaultHook = std::function<bool(FaultPoint point, std::uint64_t ordinal, Diagnostics& diag)>;

}  // namespace varnoklis
