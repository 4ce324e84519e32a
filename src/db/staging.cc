#include "db/staging.h"

#include <vector>

#include "db/result_code.h"

namespace varnoklis {

const SqlText kClearStagingSql = {" DELETE FROM  KvxCore.Kvx999Tmp    WHERE TmpUsr = '%s' ", {}};
const SqlText kStageRecordSql = {
    " INSERT INTO KvxCore.Kvx999Tmp    ( TmpUsr, TmpStr)    VALUES ('%s', '%s'  ) ", {}};
const SqlText kReadBackSql = {
    "SELECT TmpStr  FROM  KVXCore.Kvx999Tmp  WHERE TmpUsr = '%s'  ORDER BY TmpUsr, TmpStr ", {}};

namespace {

const Purpose kClearing{.what = "Tab. Kvx999Tmp loeschen", .staging = true};
const Purpose kStaging{.what = "Tab. Kvx999Tmp einfuegen", .inserts = true, .staging = true};
const Purpose kCommitting{.what = "Tab. Kvx999Tmp festschreiben", .staging = true};
const Purpose kReadingBack{.what = "Tab. Kvx999Tmp lesen", .staging = true};

// What ended a burst that stored nothing: the failed statement, its badge, its diagnostics, the
// record whose insert failed (none for the commit), and a rollback that failed after it.
struct BurstFailure {
  std::string_view what{};
  std::string badge{};
  Diagnostics diag{};
  std::size_t record = std::string::npos;
  bool reported = false;
  Diagnostics rollback{};
};

enum class Attempt { Committed, Again, InsertFailed, CommitFailed, Broken };

// Only a failure after which the database has undone the whole transaction may be sent again;
// a timed-out insert may have taken effect.
bool undone(const Diagnostics& diag, Dialect dialect) {
  return transient(diag, dialect) && diag.state != "HYT00";
}

// Rolls the burst back; a rollback that fails breaks the staging connection.
Attempt roll_back(Session& session, BurstFailure& failure, Attempt outcome) {
  bool ended = session.end_burst(SQL_ROLLBACK);
  failure.rollback = session.diagnostics();
  session.diagnostics() = failure.diag;
  return ended ? outcome : Attempt::Broken;
}

// The burst stops at the first failed insert: a database that undid the whole transaction
// would commit every later insert on its own.
Attempt send_burst(Session& session, BurstFailure& failure) {
  const StagingGroup& group = session.group();
  if (!session.begin_burst()) {
    failure = {.what = kCommitting.what, .diag = session.diagnostics()};
    return roll_back(session, failure, Attempt::CommitFailed);
  }
  for (std::size_t i = 0; i < group.records.size(); ++i) {
    const PendingRecord& record = group.records[i];
    session.set_badge(record.badge);
    Statement statement(session, kStaging);
    if (!statement.allocated()) {
      failure = {.what = kStaging.what, .badge = record.badge, .record = i, .reported = true};
      return roll_back(session, failure, Attempt::InsertFailed);
    }
    if (statement.execute_once(fill(kStageRecordSql, session.dialect(),
                                    {group.path, record.text})) != Outcome::Error) {
      continue;
    }
    failure = {
        .what = kStaging.what, .badge = record.badge, .diag = session.diagnostics(), .record = i};
    return roll_back(
        session, failure,
        undone(failure.diag, session.dialect()) ? Attempt::Again : Attempt::InsertFailed);
  }
  if (session.end_burst(SQL_COMMIT)) return Attempt::Committed;
  failure = {.what = kCommitting.what, .diag = session.diagnostics()};
  return roll_back(
      session, failure,
      undone(failure.diag, session.dialect()) ? Attempt::Again : Attempt::CommitFailed);
}

// After a failed insert the rolled-back group is sent one record at a time under automatic
// commit, so that each insert's own result is what the table holds. The insert that failed in
// the burst keeps its result and is not sent again.
int send_singly(Session& session, const BurstFailure& failure, const FailedRecord& on_failed) {
  const StagingGroup& group = session.group();
  int stored = 0;
  for (std::size_t i = 0; i < group.records.size(); ++i) {
    const PendingRecord& record = group.records[i];
    session.set_badge(record.badge);
    int result = -1;
    if (i != failure.record) {
      result = stage_record(session, group.path, record.text);
    } else if (!failure.reported) {
      session.report_failure(failure.what, failure.diag);
      result = error_code(failure.diag);
    }
    if (result == 0) {
      ++stored;
    } else {
      on_failed(record, result);
    }
  }
  return stored;
}

}  // namespace

int send_group(Session& session, const FailedRecord& on_failed) {
  StagingGroup& group = session.group();
  if (session.staging_broken()) {
    session.count_unsent(group.records.size());
    group.records.clear();
    return 0;
  }
  const std::string badge = session.badge();
  BurstFailure failure;
  Attempt attempt = Attempt::Again;
  for (int n = 1;; ++n) {
    failure = BurstFailure{};
    attempt = send_burst(session, failure);
    if (attempt != Attempt::Again || n == kStatementAttempts) break;
    session.set_badge(failure.badge);
    session.report_retry(failure.what, failure.diag, n + 1);
    session.seam().pause_before(n + 1);
  }
  int stored = 0;
  if (attempt == Attempt::Committed) {
    stored = static_cast<int>(group.records.size());
  } else if (attempt == Attempt::InsertFailed) {
    stored = send_singly(session, failure, on_failed);
  } else {
    session.set_badge(failure.badge);
    if (!failure.reported) session.report_failure(failure.what, failure.diag);
    if (attempt == Attempt::Broken) {
      session.set_badge({});
      session.report_failure(kCommitting.what, failure.rollback);
    }
    for (const PendingRecord& record : group.records) {
      session.set_badge(record.badge);
      on_failed(record, error_code(failure.diag));
    }
  }
  session.set_badge(badge);
  group.records.clear();
  return stored;
}

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
  if (outcome == Outcome::Error) return error_code(session.diagnostics());
  session.count_flush();
  return 0;
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
        if (!paged_ || page_rows_ < kReadBackPageRows) return kNoData;
        if (open_next_page() != 0) return -1;
        continue;
      case Outcome::Error:
        return -1;
    }
  }
}

}  // namespace varnoklis
