#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"
#include "db/statement.h"

namespace varnoklis {

/// Longest download-file path the staging key takes.
inline constexpr std::size_t kStagingKeyCapacity = 103;
/// Longest record text the read-back delivers.
inline constexpr std::size_t kRecordCapacity = 512;

/// Deletes the staged rows of a download-file path.
extern const SqlText kClearStagingSql;
/// Stores one record under a download-file path.
extern const SqlText kStageRecordSql;
/// Reads the records of a download-file path back, sorted by their text.
extern const SqlText kReadBackSql;
/// The embedded store's read-back, in pages: the first page.
extern const SqlText kReadBackFirstPageSql;
/// The embedded store's read-back, in pages: the page after a given row.
extern const SqlText kReadBackNextPageSql;
/// Rows per page of the embedded store's read-back.
inline constexpr long kReadBackPageRows = 500;

/// Deletes the staged rows of `path`: 0 (also when none matched) or -1.
int clear_staging(Session& session, std::string_view path);

/// Stages one record under `path`: 0, or non-zero (native error number or -1) when not stored.
int stage_record(Session& session, std::string_view path, std::string_view record);

/// Called for each record of a burst that was not stored, with its result code (native error
/// number or -1), in the group's order.
using FailedRecord = std::function<void(const PendingRecord& record, int result)>;

/// Sends the session's collected group as one burst on the staging connection: automatic commit
/// off, the inserts, a commit; then empties the group. A burst that the database rolled back (a
/// deadlock victim, the store locked) is ended with a rollback and sent again whole, within the
/// attempts of a statement. A failed insert names its record; a burst that could not be
/// committed names every record. Failures are reported with the badge each record was built for.
/// Returns the number of records stored.
int send_group(Session& session, const FailedRecord& on_failed);

/// The read-back of the staged records of one path, sorted by their text. On the embedded store
/// it reads in pages, because the SQLite driver holds a cursor's whole result in memory.
class ReadBack {
 public:
  /// Opens the read-back: 0, -1, or the native error number.
  int open(Session& session, std::string_view path);
  /// Next record, right-trimmed and cut at 512 characters: 0, 100 at the end, -1 on failure.
  int fetch(std::string& record);
  /// Closes the read-back; nothing when closed.
  void close() { cursor_.close(); }

 private:
  int open_next_page();

  Session* session_ = nullptr;
  std::string path_;
  bool paged_ = false;
  long page_rows_ = 0;
  std::string last_row_;
  Cursor cursor_;
};

}  // namespace varnoklis
