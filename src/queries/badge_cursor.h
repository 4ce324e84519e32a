#pragma once

#include <string>
#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"
#include "db/statement.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// The currently valid badges of one client schema, one row per badge location, in badge order.
extern const SqlText kBadgeCursorSql;

/// Writes `text` into a class slot left-aligned in three characters, blank-filled; a longer class
/// stands unshortened.
void put_class(std::string& slot, std::string_view text);

/// The cursor over the badges of one client schema.
class BadgeCursor {
 public:
  /// Opens the cursor for client schema `schema`: 0, -1 (no statement) or the native error number.
  int open(Session& session, std::string_view schema);
  /// Puts the next badge into the badge slots of `row`: 0, 100 when none is left, -1 when no
  /// cursor is open or the fetch failed (the row is then untouched).
  int fetch(BadgeRow& row);
  /// Closes the cursor; nothing happens when it is closed.
  void close() { cursor_.close(); }

 private:
  Cursor cursor_;
};

}  // namespace varnoklis
