#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
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

/// The answers of the run to statement texts that ask for master data the run does not write;
/// one entry per distinct text, kept until the run ends.
class AnswerMemory {
 public:
  /// A statement text and its remembered answer.
  using Entry = std::pair<const std::string, Answer>;

  /// The remembered answer to `text` asked on day stamp `day`, with its text, or nullptr.
  const Entry* find(const std::string& text, int day) const;
  /// Remembers the complete answer to `text`, in place of an answer of an earlier day.
  void keep(std::string text, Answer answer);

 private:
  std::unordered_map<std::string, Answer> answers_;
};

}  // namespace varnoklis
