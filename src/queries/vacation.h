#pragma once

#include "db/session.h"
#include "db/sql_text.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// The latest vacation account row of a person up to today.
extern const SqlText kVacationAccountSql;
/// A person's vacation entitlement of the current year.
extern const SqlText kVacationEntitlementSql;

/// Writes the six vacation figures of the row's person into its vacation texts; a missing row
/// counts as zeros. 0 when both rows were found, else the sum of the two fetch results (100 per
/// missing row); the native error number (account) or -1 (entitlement, allocation) when a
/// statement failed, with no text written.
int read_vacation(Session& session, BadgeRow& row);

}  // namespace varnoklis
