#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/session.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// Width of the badge number field of the time-and-access records.
inline constexpr std::size_t kBadgeFieldWidth = 13;
/// Width of the class within a reader group.
inline constexpr std::size_t kClassFieldWidth = 3;

/// Puts the badge number at position 1 and the valid-from date at 14 ("00000000" when open).
void put_badge_head(const BadgeRow& row, std::string& record);

/// Decides and writes the time-booking flag (22), the access flag (23) and, on access, the reader
/// groups of readers 1 to `readers` from position 31. True when either flag is "1".
bool put_rights(Session& session, BadgeRow& row, std::string_view terminal, bool class_resolved,
                int readers, std::string& record);

}  // namespace varnoklis
