#pragma once

#include <string>
#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// The active profile of a terminal.
extern const SqlText kTerminalProfileSql;
/// The short text of a badge's active location.
extern const SqlText kLocationTextSql;
/// Language and balance set of an active person.
extern const SqlText kPersonSql;

/// Type and balance set of a terminal, at most 10 characters each; empty when not found.
struct TerminalProfile {
  std::string type;         ///< `TSMTYP`, e.g. "7744-010"
  std::string balance_set;  ///< `TSMSAL`
};

/// Reads the profile of `terminal` into `profile`: 0, -1 on a failed statement, else the fetch
/// result (normally 100) with `profile` untouched.
int read_terminal_profile(Session& session, std::string_view terminal, TerminalProfile& profile);

/// Puts the first three characters of the badge's location text into the location text slot;
/// results as read_terminal_profile.
int read_location_text(Session& session, BadgeRow& row);

/// Puts the holder's language and balance set into their slots; results as
/// read_terminal_profile.
int read_person(Session& session, BadgeRow& row);

}  // namespace varnoklis
