#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "builders/record.h"
#include "db/session.h"
#include "queries/badge_row.h"
#include "records/layouts.h"

namespace varnoklis {

/// Widths of the badge number field and of the class within a reader group.
inline constexpr FieldWidths kTimeAccessWidths = {records::kTimeAccess.badge.width,
                                                  records::reader_group(1).class_code.width};

/// The two flags of a time-and-access record.
struct Rights {
  bool time = false;    ///< the time-booking flag: the reader-1 check answered yes
  bool access = false;  ///< the access flag, and the reader groups (with the class) are filled
};

/// Puts the badge number and the valid-from date (zeros when open).
void put_badge_head(const BadgeRow& row, std::string& record);

/// Decides and writes the time-booking flag, the access flag and, on access, the reader groups of
/// readers 1 to `readers`.
Rights put_rights(Session& session, BadgeRow& row, std::string_view terminal, bool class_resolved,
                  int readers, std::string& record);

}  // namespace varnoklis
