#pragma once

#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"

namespace varnoklis {

/// 1 when any profile, reader or client link row names the terminal, whatever its status.
extern const SqlText kTerminalKnownSql;

/// Whether the database knows `terminal`: 1 known, 0 unknown, -1 when the question failed
/// (reported). Always asked, never answered from memory.
int terminal_known(Session& session, std::string_view terminal);

}  // namespace varnoklis
