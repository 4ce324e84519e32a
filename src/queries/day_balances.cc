#include "queries/day_balances.h"

#include "db/statement.h"
#include "queries/number_text.h"

namespace varnoklis {

const SqlText kDayBalancesSql = {
    " SELECT  COALESCE(TGBVT1,0) + COALESCE(TGBSA1,0),  COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0),  "
    "COALESCE(TGBVT3,0) + COALESCE(TGBSA3,0),  COALESCE(TGBVT4,0) + COALESCE(TGBSA4,0),  "
    "COALESCE(TGBVT5,0) + COALESCE(TGBSA5,0),  COALESCE(TGBVT6,0) + COALESCE(TGBSA6,0),  "
    "COALESCE(TGBVT7,0) + COALESCE(TGBSA7,0),  COALESCE(TGBVT1,0) + COALESCE(TGBSA1,0) +   "
    "COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0),  COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0) +   "
    "COALESCE(TGBVT3,0) + COALESCE(TGBSA3,0)  FROM  %s.Kvx320Tgb, %s.Kvx300Pnr  WHERE TGBPNR = "
    "'%s'  AND   TGBZTR = 1  AND   TGBDTM = CONVERT(datetime,  "
    "(CONVERT(char(8),(CURRENT_TIMESTAMP-1),112)),112)  AND TGBPNR = PNRNUM  AND ((PnrSta <> 4 "
    "AND PnrSta <> 8) OR PnrSta IS NULL) ",
    " SELECT  COALESCE(TGBVT1,0) + COALESCE(TGBSA1,0),  COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0),  "
    "COALESCE(TGBVT3,0) + COALESCE(TGBSA3,0),  COALESCE(TGBVT4,0) + COALESCE(TGBSA4,0),  "
    "COALESCE(TGBVT5,0) + COALESCE(TGBSA5,0),  COALESCE(TGBVT6,0) + COALESCE(TGBSA6,0),  "
    "COALESCE(TGBVT7,0) + COALESCE(TGBSA7,0),  COALESCE(TGBVT1,0) + COALESCE(TGBSA1,0) +   "
    "COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0),  COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0) +   "
    "COALESCE(TGBVT3,0) + COALESCE(TGBSA3,0)  FROM  %s.Kvx320Tgb, %s.Kvx300Pnr  WHERE TGBPNR = "
    "'%s'  AND   TGBZTR = 1  AND   TGBDTM = date('now','localtime','-1 day')  AND TGBPNR = "
    "PNRNUM  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL) "};

namespace {

const Purpose kDayBalances{
    .what = "Tagessalden lesen", .repeated_question = true, .per_badge = true};

}  // namespace

int read_day_balances(Session& session, BadgeRow& row) {
  Statement statement(session, kDayBalances);
  const std::string& schema = session.schema();
  int result = statement.query_one(
      kDayBalancesSql, {schema, schema, row.person_number},
      {long_column(), long_column(), long_column(), long_column(), long_column(), long_column(),
       long_column(), long_column(), long_column()},
      ExecError::MinusOne);
  if (result != 0) return result;
  for (int k = 0; k < 9; ++k) format_minutes(statement.integer(k + 1), row.day_balance[k]);
  return 0;
}

}  // namespace varnoklis
