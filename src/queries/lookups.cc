#include "queries/lookups.h"

#include <cstddef>

#include "db/statement.h"

namespace varnoklis {

// clang-format off
const SqlText kTerminalProfileSql = {
    "SELECT TSMTYP, TSMSAL"
    "  FROM  KvxCore.Kvx114Tsm"
    "  WHERE TsmNam = '%s'"
    "  AND   ((TsmSta <> 4 AND TsmSta <> 8) OR TsmSta IS NULL)",
    {}};

const SqlText kLocationTextSql = {
    " SELECT StoKtx"
    "  FROM  KvxCore.Kvx113Sto, KvxCore.Kvx113Awv"
    "  WHERE AwvNum = '%s'"
    "  AND   StoNum = AwvSto"
    "  AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL)"
    "  AND ((StoSta <> 4 AND StoSta <> 8) OR StoSta IS NULL) ",
    {}};

const SqlText kPersonSql = {
    " SELECT   PnrSpr, PnrSal"
    "   FROM  %s.Kvx300Pnr"
    "   WHERE PNRNUM = '%s'"
    "    AND  ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)",
    {}};
// clang-format on

namespace {

const Purpose kTerminalProfile{"Terminalprofil lesen", true};
const Purpose kLocationText{.what = "Standort lesen", .repeated_question = true, .per_badge = true};
const Purpose kPerson{.what = "Person lesen", .repeated_question = true, .per_badge = true};
constexpr std::size_t kTextWidth = 10;
constexpr std::size_t kLocationTextLength = 3;

}  // namespace

int read_terminal_profile(Session& session, std::string_view terminal, TerminalProfile& profile) {
  Statement statement(session, kTerminalProfile);
  int rc =
      statement.query_one(kTerminalProfileSql, {terminal},
                          {text_column(kTextWidth), text_column(kTextWidth)}, ExecError::MinusOne);
  if (rc != 0) return rc;
  profile.type.assign(statement.trimmed(1));
  profile.balance_set.assign(statement.trimmed(2));
  return 0;
}

int read_location_text(Session& session, BadgeRow& row) {
  Statement statement(session, kLocationText);
  int rc = statement.query_one(kLocationTextSql, {row.badge_number}, {text_column(kTextWidth)},
                               ExecError::MinusOne);
  if (rc != 0) return rc;
  row.location_text.assign(statement.trimmed(1).substr(0, kLocationTextLength));
  return 0;
}

int read_person(Session& session, BadgeRow& row) {
  Statement statement(session, kPerson);
  int rc = statement.query_one(kPersonSql, {session.schema(), row.person_number},
                               {long_column(), text_column(kTextWidth)}, ExecError::MinusOne);
  if (rc != 0) return rc;
  row.language = std::to_string(statement.integer(1));
  row.balance_set.assign(statement.trimmed(2));
  return 0;
}

}  // namespace varnoklis
