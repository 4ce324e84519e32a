#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "db/sql_text.h"

namespace varnoklis {

/// Every row of one badge with each condition of the badge cursor as a flag: the client's
/// schema, the validity window, the badge status, whether it has a location and the location's
/// status.
extern const SqlText kBadgeConditionsSql;

/// One row of a badge as the badge cursor's conditions see it.
struct BadgeConditions {
  std::string schema;            ///< the client's schema name; empty when no client matches
  bool valid_today = false;      ///< today lies within the validity window
  bool badge_usable = false;     ///< the badge status is neither 4 nor 8
  bool has_location = false;     ///< a location row exists
  bool location_usable = false;  ///< that location row's status is neither 4 nor 8
};

/// Reads the rows of badge `badge` (right-trimmed; compared without regard to letter case and
/// trailing blanks) into `rows`: 0, -1 on a failed statement or fetch (reported).
int read_badge_conditions(Session& session, std::string_view badge,
                          std::vector<BadgeConditions>& rows);

}  // namespace varnoklis
