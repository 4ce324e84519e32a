#include "db/staging.h"

namespace varnoklis {

const SqlText kClearStagingSql = {" DELETE FROM  KvxCore.Kvx999Tmp    WHERE TmpUsr = '%s' ", {}};
const SqlText kStageRecordSql = {
    " INSERT INTO KvxCore.Kvx999Tmp    ( TmpUsr, TmpStr)    VALUES ('%s', '%s'  ) ", {}};
const SqlText kReadBackSql = {
    "SELECT TmpStr  FROM  KVXCore.Kvx999Tmp  WHERE TmpUsr = '%s'  ORDER BY TmpUsr, TmpStr ", {}};

int clear_staging(Session& session, std::string_view path) {
  Statement statement(session);
  if (!statement.allocated()) return -1;
  Outcome outcome = statement.execute(fill(kClearStagingSql, session.dialect(), {path}));
  return outcome == Outcome::Error ? -1 : 0;
}

int stage_record(Session& session, std::string_view path, std::string_view record) {
  Statement statement(session);
  if (!statement.allocated()) return -1;
  Outcome outcome = statement.execute(fill(kStageRecordSql, session.dialect(), {path, record}));
  return outcome == Outcome::Error ? error_code(session.diagnostics()) : 0;
}

int ReadBack::open(Session& session, std::string_view path) {
  return cursor_.open(session, fill(kReadBackSql, session.dialect(), {path}),
                      {text_column(kRecordCapacity)});
}

int ReadBack::fetch(std::string& record) {
  switch (cursor_.fetch()) {
    case Outcome::Ok:
      record.assign(cursor_.row().trimmed(1));
      return 0;
    case Outcome::NoData:
      return 100;
    case Outcome::Error:
      break;
  }
  return -1;
}

}  // namespace varnoklis
