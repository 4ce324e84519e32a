#include "queries/vacation.h"

#include <algorithm>

#include "db/result_code.h"
#include "db/statement.h"
#include "queries/number_text.h"

namespace varnoklis {

const SqlText kVacationAccountSql = {
    " SELECT convert(char(8), UtgDtm, 112),   COALESCE(UtgVtg, 0.0),   COALESCE(UtgRtg, 0.0), "
    "COALESCE(UtgGut, 0.0)  FROM  %s.Kvx332Utg  WHERE UTGPNR = '%s'  AND UtgDtm <= "
    "CONVERT(datetime,CONVERT(char(8),CURRENT_TIMESTAMP,112),112)  ORDER BY UtgDtm DESC ",
    " SELECT strftime('%Y%m%d',UtgDtm),   COALESCE(UtgVtg, 0.0),   COALESCE(UtgRtg, 0.0), "
    "COALESCE(UtgGut, 0.0)  FROM  %s.Kvx332Utg  WHERE UTGPNR = '%s'  AND UtgDtm <= "
    "date('now','localtime')  ORDER BY UtgDtm DESC "};
const SqlText kVacationEntitlementSql = {
    " SELECT  COALESCE(URVGUR, 0.0), COALESCE(URVVJR, 0.0)  FROM  %s.Kvx332Urv, %s.Kvx300Pnr  "
    "WHERE URVPNR = '%s'  AND URVJHR = DATEPART(year, CURRENT_TIMESTAMP)  AND URVPNR = PNRNUM  "
    "AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)",
    " SELECT  COALESCE(URVGUR, 0.0), COALESCE(URVVJR, 0.0)  FROM  %s.Kvx332Urv, %s.Kvx300Pnr  "
    "WHERE URVPNR = '%s'  AND URVJHR = CAST(strftime('%Y','now','localtime') AS INTEGER)  AND "
    "URVPNR = PNRNUM  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)"};

namespace {

const Purpose kVacationAccount{
    .what = "Urlaubskonto lesen", .repeated_question = true, .per_badge = true};
const Purpose kVacationEntitlement{
    .what = "Urlaubsanspruch lesen", .repeated_question = true, .per_badge = true};

// The fetch part of the result: 0 for a row, else the fetch's own result.
int fetch_part(Statement& statement) {
  switch (statement.fetch()) {
    case Outcome::Ok:
      return 0;
    case Outcome::NoData:
      return kNoData;
    case Outcome::Error:
      break;
  }
  return -1;
}

}  // namespace

int read_vacation(Session& session, BadgeRow& row) {
  const std::string& schema = session.schema();
  double vtg = 0.0, rtg = 0.0, gut = 0.0, gur = 0.0, vjr = 0.0;
  int account_part = 0;
  {
    Statement account(session, kVacationAccount);
    if (!account.allocated()) return -1;
    if (account.execute(kVacationAccountSql, {schema, row.person_number}) == Outcome::Error) {
      return error_code(session.diagnostics());
    }
    account.bind({text_column(8), double_column(), double_column(), double_column()});
    account_part = fetch_part(account);
    if (account_part == 0) {
      vtg = account.real(2);
      rtg = account.real(3);
      gut = account.real(4);
    }
  }
  Statement entitlement(session, kVacationEntitlement);
  if (!entitlement.allocated()) return -1;
  if (entitlement.execute(kVacationEntitlementSql, {schema, schema, row.person_number}) ==
      Outcome::Error) {
    return -1;
  }
  entitlement.bind({double_column(), double_column()});
  int entitlement_part = fetch_part(entitlement);
  if (entitlement_part == 0) {
    gur = entitlement.real(1);
    vjr = entitlement.real(2);
  }
  format_days(gur, row.vacation[0]);
  format_days(vtg, row.vacation[2]);
  format_days(rtg, row.vacation[4]);
  format_days(gut, row.vacation[1]);
  format_days(vjr, row.vacation[5]);
  format_days(std::max(gur - vjr, 0.0), row.vacation[3]);
  return account_part + entitlement_part;
}

}  // namespace varnoklis
