#include "db/staging.h"

#include <vector>

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

// One record's insert in a burst: its result code, and the diagnostics still to be reported.
struct Sent {
  int result = 0;
  bool report = false;
  Diagnostics diag;
};

// What ended a burst that stored nothing: the failed statement, its badge, its diagnostics.
struct BurstFailure {
  bool happened = false;
  std::string_view what;
  std::string badge;
  Diagnostics diag;
};

enum class Attempt { Committed, RolledBack, Failed };

// Only a failure after which the database has undone the whole transaction may be sent again;
// a timed-out insert may have taken effect.
bool undone(const Diagnostics& diag, Dialect dialect) {
  return transient(diag, dialect) && diag.state != "HYT00";
}

void roll_back(Session& session) {
  Diagnostics kept = session.diagnostics();
  session.end_burst(SQL_ROLLBACK);
  session.diagnostics() = kept;
}

Attempt send_burst(Session& session, std::vector<Sent>& sent, BurstFailure& failure) {
  const StagingGroup& group = session.group();
  if (!session.begin_burst()) {
    failure = {true, kCommitting.what, {}, session.diagnostics()};
    roll_back(session);
    return Attempt::Failed;
  }
  for (std::size_t i = 0; i < group.records.size(); ++i) {
    const PendingRecord& record = group.records[i];
    session.set_badge(record.badge);
    Statement statement(session, kStaging);
    if (!statement.allocated()) {
      sent[i] = Sent{-1, false, {}};
      continue;
    }
    if (statement.execute_once(fill(kStageRecordSql, session.dialect(),
                                    {group.path, record.text})) != Outcome::Error) {
      continue;
    }
    const Diagnostics& diag = session.diagnostics();
    if (undone(diag, session.dialect())) {
      failure = {true, kStaging.what, record.badge, diag};
      roll_back(session);
      return Attempt::RolledBack;
    }
    sent[i] = Sent{error_code(diag), true, diag};
  }
  if (session.end_burst(SQL_COMMIT)) return Attempt::Committed;
  failure = {true, kCommitting.what, {}, session.diagnostics()};
  roll_back(session);
  return undone(failure.diag, session.dialect()) ? Attempt::RolledBack : Attempt::Failed;
}

}  // namespace

int send_group(Session& session, const FailedRecord& on_failed) {
  StagingGroup& group = session.group();
  const std::string badge = session.badge();
  std::vector<Sent> sent;
  BurstFailure failure;
  for (int attempt = 1;; ++attempt) {
    sent.assign(group.records.size(), Sent{});
    failure = BurstFailure{};
    if (send_burst(session, sent, failure) != Attempt::RolledBack ||
        attempt == kStatementAttempts) {
      break;
    }
    session.set_badge(failure.badge);
    session.report_retry(failure.what, failure.diag, attempt + 1);
    session.seam().pause_before(attempt + 1);
  }
  if (failure.happened) {
    session.set_badge(failure.badge);
    session.report_failure(failure.what, failure.diag);
  }
  int stored = 0;
  for (std::size_t i = 0; i < group.records.size(); ++i) {
    const PendingRecord& record = group.records[i];
    if (!failure.happened && sent[i].result == 0) {
      ++stored;
      continue;
    }
    session.set_badge(record.badge);
    if (sent[i].report) session.report_failure(kStaging.what, sent[i].diag);
    on_failed(record, sent[i].result != 0 ? sent[i].result : error_code(failure.diag));
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
        if (!paged_ || page_rows_ < kReadBackPageRows) return 100;
        if (open_next_page() != 0) return -1;
        continue;
      case Outcome::Error:
        return -1;
    }
  }
}

}  // namespace varnoklis
