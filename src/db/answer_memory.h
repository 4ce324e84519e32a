#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/odbc.h"
#include "db/sql_text.h"

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

/// One result column as bound to a statement's buffer: where its bytes start and the length
/// indicator the driver writes.
struct BoundColumn {
  Column column;
  std::size_t offset = 0;
  SQLLEN indicator = SQL_NULL_DATA;
};

/// An answer being recorded: the columns it is fetched with and its rows, each stored as its
/// fetch result and, per column, a NULL mark or the bytes the helpers can read (a text up to its
/// terminator, at most the column's width; an integer or a double as its bytes).
struct Answer {
  std::vector<Column> layout;
  std::string rows;
  std::uint32_t row_count = 0;
  /// The stamp of the day it was asked on (see `answer_day`).
  int day = 0;
};

/// Adds the fetched row in `buffer`, bound as `columns`, with its fetch result to `answer`.
void append_row(Answer& answer, SQLRETURN result, std::span<const BoundColumn> columns,
                const char* buffer);

/// Reads the row at `at` of the stored `rows` into `buffer` and the indicators of `columns` (the
/// length of what was stored, or SQL_NULL_DATA); returns its fetch result and moves `at` on.
SQLRETURN read_row(std::string_view rows, std::size_t& at, std::span<BoundColumn> columns,
                   char* buffer);

/// The key of a question: its statement text constant (as a small number), the dialect and the
/// values filled in.
std::string answer_key(const SqlText& sql, Dialect dialect, Values values);

/// Whether the answer to `text` depends on the date: it names CURRENT_TIMESTAMP or 'now'.
bool depends_on_date(std::string_view text);

/// The stamp under which an answer to `text` asked now is kept: the local calendar day as
/// YYYYMMDD for a date-dependent text, 0 for every other text.
int answer_day(std::string_view text);

/// A remembered answer in one block: its key, columns and rows.
struct StoredAnswer {
  int day = 0;
  std::uint32_t key_size = 0;
  std::uint32_t columns = 0;
  std::uint32_t row_count = 0;
  std::size_t rows_size = 0;

  /// The key it is remembered under.
  std::string_view key() const;
  /// The columns it was fetched with.
  std::span<const Column> layout() const;
  /// Its rows as `append_row` stored them.
  std::string_view rows() const;
};

/// The answers to questions that ask for master data no run writes; one entry per distinct key.
/// One memory may serve several sessions on several threads at once: when one of them asks a
/// question, the others that need it wait for its answer instead of asking too. It takes no new
/// answer once what it allocates (answers, keys, table) would pass `bound_bytes`.
class AnswerMemory {
 public:
  /// A remembered answer, shared with the statements replaying it.
  using Shared = std::shared_ptr<const StoredAnswer>;

  /// A memory that takes answers while it allocates at most `bound_bytes`.
  explicit AnswerMemory(std::size_t bound_bytes = std::numeric_limits<std::size_t>::max());
  ~AnswerMemory();
  AnswerMemory(const AnswerMemory&) = delete;
  AnswerMemory& operator=(const AnswerMemory&) = delete;

  /// The remembered answer under `key` asked on day stamp `day`, or null.
  Shared find(const std::string& key, int day) const;
  /// As `find`; when there is no answer the caller becomes the one that asks (`claimed`), unless
  /// another caller is asking already: then it waits for that answer if `may_wait`, or else asks
  /// without a claim. A claim ends with `keep` or `release`.
  Shared find(const std::string& key, int day, bool may_wait, bool& claimed);
  /// Remembers the complete `answer` under `key` (in place of an answer of an earlier day) and
  /// ends the claim on it; false when it does not fit the bound.
  bool keep(const std::string& key, const Answer& answer);
  /// Forgets every answer.
  void clear();
  /// Ends the claim on `key` without an answer; a waiting caller asks itself.
  void release(const std::string& key);
  /// Bytes the memory has allocated for its answers, keys and table.
  std::size_t bytes() const { return bytes_.load(); }
  /// Number of answers remembered.
  std::size_t answers() const;
  /// Whether an answer was refused for want of room.
  bool full() const;

  /// An allocator that counts what it allocates into the memory's bytes.
  template <class T>
  struct Counting {
    using value_type = T;
    std::atomic<std::size_t>* bytes;
    explicit Counting(std::atomic<std::size_t>* counter) : bytes(counter) {}
    template <class U>
    Counting(const Counting<U>& other) : bytes(other.bytes) {}
    T* allocate(std::size_t n) {
      *bytes += n * sizeof(T);
      return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) {
      *bytes -= n * sizeof(T);
      std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    bool operator==(const Counting<U>& other) const {
      return bytes == other.bytes;
    }
  };

 private:
  using Table =
      std::unordered_map<std::string_view, Shared, std::hash<std::string_view>, std::equal_to<>,
                         Counting<std::pair<const std::string_view, Shared>>>;

  // Counts down also when a block that a statement still replays goes after the memory forgot
  // it; statements end before the memory they ask.
  std::atomic<std::size_t> bytes_{0};
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  Table answers_;
  std::unordered_set<std::string> asking_;
  std::size_t bound_;
  bool full_ = false;
};

}  // namespace varnoklis
