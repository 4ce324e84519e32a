#pragma once

#include <condition_variable>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "db/odbc.h"

namespace varnoklis {

/// One result column to bind: text of `width` characters, a 32-bit integer, or a double.
struct Column {
  enum Kind { Text, Long, Double } kind;
  std::size_t width = 0;

  bool operator==(const Column&) const = default;
};

/// A text column of `width` characters.
inline Column text_column(std::size_t width) {
  return {Column::Text, width};
}
/// A 32-bit signed integer column.
inline Column long_column() {
  return {Column::Long, 0};
}
/// A 64-bit floating-point column.
inline Column double_column() {
  return {Column::Double, 0};
}

/// One row of a remembered answer exactly as the fetch left it: its result (success with
/// information for a cut text), the length indicators and the bytes of the bound buffer.
struct RememberedRow {
  SQLRETURN result = SQL_SUCCESS;
  std::vector<SQLLEN> indicators;
  std::string bytes;
};

/// The whole answer to one statement text: the columns it was bound with and every row.
struct Answer {
  std::vector<Column> layout;
  std::vector<RememberedRow> rows;
  /// The stamp of the day it was asked on (see `answer_day`).
  int day = 0;
};

/// Whether the answer to `text` depends on the date: it names CURRENT_TIMESTAMP or 'now'.
bool depends_on_date(std::string_view text);

/// The stamp under which an answer to `text` asked now is kept: the local calendar day as
/// YYYYMMDD for a date-dependent text, 0 for every other text.
int answer_day(std::string_view text);

/// The answers to statement texts that ask for master data no run writes; one entry per distinct
/// text. One memory may serve several sessions on several threads at once: when one of them
/// asks a text, the others that need it wait for its answer instead of asking too. It takes no
/// new answer once the answers it holds take `bound_bytes` on the heap.
class AnswerMemory {
 public:
  /// A remembered answer, shared with the statements replaying it.
  using Shared = std::shared_ptr<const Answer>;

  /// A memory that takes answers until they take `bound_bytes` on the heap.
  explicit AnswerMemory(std::size_t bound_bytes = std::numeric_limits<std::size_t>::max())
      : bound_(bound_bytes) {}
  AnswerMemory(const AnswerMemory&) = delete;
  AnswerMemory& operator=(const AnswerMemory&) = delete;

  /// The remembered answer to `text` asked on day stamp `day`, or null.
  Shared find(const std::string& text, int day) const;
  /// As `find`; when there is no answer the caller becomes the one that asks (`claimed`), unless
  /// another caller is asking already: then it waits for that answer if `may_wait`, or else asks
  /// without a claim. A claim ends with `keep` or `release`.
  Shared find(const std::string& text, int day, bool may_wait, bool& claimed);
  /// Remembers the complete answer to `text` (in place of an answer of an earlier day) and ends
  /// the claim on it; false, leaving both arguments as they were, when it does not fit the bound.
  bool keep(std::string&& text, Answer&& answer);
  /// Forgets every answer.
  void clear();
  /// Ends the claim on `text` without an answer; a waiting caller asks itself.
  void release(const std::string& text);
  /// Bytes the remembered answers take on the heap.
  std::size_t bytes() const;
  /// Whether an answer was refused for want of room.
  bool full() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  std::unordered_map<std::string, Shared> answers_;
  std::unordered_set<std::string> asking_;
  std::size_t bound_;
  std::size_t bytes_ = 0;
  bool full_ = false;
};

/// Bytes that remembering `answer` to `text` takes on the heap: the text, the rows and their
/// buffers, and the map's node.
std::size_t heap_bytes(const std::string& text, const Answer& answer);

}  // namespace varnoklis
