#include "db/staging.h"

namespace varnoklis {

const SqlText kClearStagingSql = {" DELETE FROM  KvxCore.Kvx999Tmp    WHERE TmpUsr = '%s' ", {}};
const SqlText kStageRecordSql = {
    " INSERT INTO KvxCore.Kvx999Tmp    ( TmpUsr, TmpStr)    VALUES ('%s', '%s'  ) ", {}};
const SqlText kReadBackSql = {
    "SELECT TmpStr  FROM  KVXCore.Kvx999Tmp  WHERE TmpUsr = '%s'  ORDER BY TmpUsr, TmpStr ", {}};

namespace {

const Purpose kClearing{"Tab. Kvx999Tmp loeschen"};
const Purpose kStaging{.what = "Tab. Kvx999Tmp einfuegen", .inserts = true};
const Purpose kReadingBack{"Tab. Kvx999Tmp lesen"};

}  // namespace

int clear_staging(Session& session, std::string_view path) {
  Statement statement(session, kClearing);
  if (!statement.allocated()) return -1;
  Outcome outcome = statement.execute(fill(kClearStagingSql, session.dialect(), {path}));
  return outcome == Outcome::Error ? -1 : 0;
}

int stage_record(Session& session, std::string_view path, std::string_view record) {
  Statement statement(session, kStaging);
  if (!statement.allocated()) return -1;
  Outcome outcome = statement.execute(fill(kStageRecordSql, session.dialect(), {path, record}));
  return outcome == Outcome::Error ? error_code(session.diagnostics()) : 0;
}

// The pages follow the order of the whole read-back; the row id breaks ties between equal
// records, and the previous page's last row is named by its id, so that no record is cut to
// serve as a key.
const SqlText kReadBackFirstPageSql = {
    {},
    "SELECT TmpStr, rowid  FROM  KVXCore.Kvx999Tmp  WHERE TmpUsr = '%s'  ORDER BY TmpUsr, "
    "TmpStr, rowid  LIMIT %ld "};
const SqlText kReadBackNextPageSql = {
    {},
    "SELECT TmpStr, rowid  FROM  KVXCore.Kvx999Tmp  WHERE TmpUsr = '%s'  AND (TmpStr, rowid) > "
    "((SELECT TmpStr FROM KVXCore.Kvx999Tmp WHERE rowid = %ld), %ld)  ORDER BY TmpUsr, TmpStr, "
    "rowid  LIMIT %ld "};

int ReadBack::open(Session& session, std::string_view path) {
  session_ = &session;
  path_.assign(path);
  paged_ = session.dialect() == Dialect::Sqlite;
  page_rows_ = 0;
  last_row_.clear();
  if (!paged_) {
    return cursor_.open(session, kReadingBack, fill(kReadBackSql, session.dialect(), {path}),
                        {text_column(kRecordCapacity)});
  }
  return open_next_page();
}

int ReadBack::open_next_page() {
  const std::string page = std::to_string(kReadBackPageRows);
  std::string text = last_row_.empty() ? fill(kReadBackFirstPageSql, Dialect::Sqlite, {path_, page})
                                       : fill(kReadBackNextPageSql, Dialect::Sqlite,
                                              {path_, last_row_, last_row_, page});
  page_rows_ = 0;
  return cursor_.open(*session_, kReadingBack, text,
                      {text_column(kRecordCapacity), text_column(20)});
}

int ReadBack::fetch(std::string& record) {
  for (;;) {
    switch (cursor_.fetch()) {
      case Outcome::Ok:
        record.assign(cursor_.row().trimmed(1));
        if (paged_) {
          last_row_.assign(cursor_.row().text(2));
          ++page_rows_;
        }
        return 0;
      case Outcome::NoData:
        if (!paged_ || page_rows_ < kReadBackPageRows) return 100;
        if (open_next_page() != 0) return -1;
        continue;
      case Outcome::Error:
        return -1;
    }
  }
}

}  // namespace varnoklis
