#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "db/answer_memory.h"
#include "db/odbc.h"
#include "db/sql_text.h"

namespace varnoklis {

class Session;

/// The memory's side of one repeated question, asked before its statement is sent. It answers a
/// question the run (or the batch) already asked, row for row as that answer was fetched;
/// otherwise the statement sends the text and hands every fetched row here, and a complete
/// answer is kept for the next asker. While it asks for a shared memory, other sessions needing
/// the same answer wait for it; that claim ends on every path, at the latest with the object.
class AnswerSource {
 public:
  /// A source for questions asked through `session`, from its memories; a question asked once
  /// per badge (`per_badge`) is kept only in the shared memory.
  AnswerSource(Session& session, bool per_badge) : session_(session), per_badge_(per_badge) {}
  ~AnswerSource();
  AnswerSource(const AnswerSource&) = delete;
  AnswerSource& operator=(const AnswerSource&) = delete;

  /// Asks for the answer to `sql` filled with `values`, on today's stamp: true when it is
  /// remembered and will be replayed; otherwise the caller sends `text()` and records the rows.
  bool ask(const SqlText& sql, Values values);
  /// The statement text of the last question, filled in for the session's dialect.
  const std::string& text() const { return text_; }
  /// Whether a remembered answer is being replayed.
  bool replaying() const { return replay_ != nullptr; }
  /// Whether the replayed answer was fetched with `columns`; when not, the replay ends and the
  /// statement must be sent.
  bool serves(std::span<const Column> columns);
  /// Writes the next remembered row into `buffer` and the columns' indicators; its fetch result,
  /// SQL_NO_DATA after the last row.
  SQLRETURN replay(std::span<BoundColumn> columns, char* buffer);

  /// Starts recording the answer of the statement just sent.
  void start_recording();
  /// Whether the rows fetched now belong to an answer being recorded.
  bool recording() const { return recording_; }
  /// Records the columns the answer is fetched with.
  void record_layout(std::span<const Column> columns);
  /// Records one fetched row: its result and what its columns hold in the bound buffer.
  void record_row(SQLRETURN result, std::span<const BoundColumn> columns, const char* buffer);
  /// Ends recording: a complete answer (every row up to "no data") is kept, anything else is not.
  void end_recording(bool complete);
  /// Ends the question without an answer to keep (a failed send).
  void abandon();

 private:
  void end_claim(bool keep);
  void remember();
  AnswerMemory* fallback_memory() const;

  Session& session_;
  bool per_badge_;
  AnswerMemory::Shared replay_;
  std::uint32_t replay_row_ = 0;
  std::size_t replay_at_ = 0;  // where the next replayed row starts in the answer's rows
  std::string key_;
  std::string text_;
  bool recording_ = false;
  bool claimed_ = false;  // this source asks the text for the shared memory
  Answer answer_;
};

}  // namespace varnoklis
