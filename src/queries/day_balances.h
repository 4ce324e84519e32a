#pragma once

#include "db/session.h"
#include "db/sql_text.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// Yesterday's day record of a person: nine minute figures.
extern const SqlText kDayBalancesSql;

/// Writes the nine day balances of the row's person, as of yesterday, into its day-balance
/// texts. 0 when written; 100 without a day record; -1 when the statement failed; otherwise the
/// fetch result. The texts stay untouched unless the result is 0.
int read_day_balances(Session& session, BadgeRow& row);

}  // namespace varnoklis
