// What varnoklis-explain found for one badge at one terminal and keyword.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "db/trace.h"

namespace varnoklis::explain {

/// A statement as sent and the rows the code fetched from it.
struct Question {
  std::string text;
  std::vector<TracedRow> rows;
  bool from_memory = false;
};

/// The reader-zone check and the reader-1 check of one row, as they ran.
struct ZoneCheck {
  bool ran = false;  ///< the reader-zone check ran
  std::vector<std::pair<std::int32_t, std::string>> readers;
  std::vector<std::tuple<std::int32_t, std::string, std::int32_t>> counts;
  bool result = false;
  std::optional<bool> reader1;  ///< the reader-1 check's answer, when it ran
};

/// What the builder did with one row of the badge cursor.
struct Row {
  std::optional<std::string> record;  ///< as the download writer writes it, without CR LF
  std::optional<std::string> lines;   ///< the messages printed for the row, in message encoding
  std::optional<int> class_stage;     ///< 0 own class, 1 to 6 the stage, nullopt none
  ZoneCheck zone;
  std::vector<Question> questions;
};

/// The badge's records in a download file compared with what would be built now.
struct FileComparison {
  std::string path;
  std::optional<std::string> error;  ///< why the file could not be compared
  std::vector<std::string> records;  ///< the file's records of the badge, as text
  bool same = false;
  std::vector<std::string> differs_in;  ///< field names, and "records" for a count
};

/// The whole answer.
struct Explanation {
  std::string keyword;
  std::string terminal;
  std::string badge;
  std::optional<std::string> excluded_by;  ///< null exactly when the badge is selected
  std::vector<Question> setup_questions;
  std::vector<Row> rows;
  std::optional<FileComparison> file;
};

}  // namespace varnoklis::explain
