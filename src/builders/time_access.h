#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "builders/record.h"
#include "db/session.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// Widths of the badge number field and of the class within a reader group.
inline constexpr FieldWidths kTimeAccessWidths = {13, 3};

/// The two flags of a time-and-access record.
struct Rights {
  bool time = false;    ///< position 22: the reader-1 check answered yes
  bool access = false;  ///< position 23, and the reader groups (with the class) are filled
};

/// Puts the badge number at position 1 and the valid-from date at 14 ("00000000" when open).
void put_badge_head(const BadgeRow& row, std::string& record);

/// Decides and writes the time-booking flag (22), the access flag (23) and, on access, the reader
/// groups of readers 1 to `readers` from position 31.
Rights put_rights(Session& session, BadgeRow& row, std::string_view terminal, bool class_resolved,
                  int readers, std::string& record);

}  // namespace varnoklis
