#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"
#include "db/statement.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// The active readers of a terminal up to a reader number, ascending.
extern const SqlText kReadersSql;
/// The number of active authorizations of a class for a zone.
extern const SqlText kZoneAuthorizationCountSql;
/// The number of active type-3 authorizations of a class for a zone.
extern const SqlText kType3AuthorizationCountSql;

/// The cursor over the readers of one terminal.
class ReaderCursor {
 public:
  /// Opens the readers of `terminal` numbered up to `highest_reader`: 0, -1 or the native error.
  int open(Session& session, std::string_view terminal, long highest_reader);
  /// Next reader number and zone code: 0, 100 at the end, -1 when none open or on failure.
  int fetch(std::int32_t& reader, std::string& zone);
  /// Closes the cursor; nothing happens when it is closed.
  void close() { cursor_.close(); }

 private:
  Cursor cursor_;
};

/// Counts the authorizations of `class_code` (as the class slot holds it) for `zone`: 0 with
/// `count` set, -1 on a failed statement, else the fetch result with `count` untouched.
int count_zone_authorizations(Session& session, std::string_view zone, std::string_view class_code,
                              std::int32_t& count);

/// As count_zone_authorizations, for authorizations of type 3 only.
int count_type3_authorizations(Session& session, std::string_view zone, std::string_view class_code,
                               std::int32_t& count);

/// 1 when the badge's class is authorized in the zone of a reader of `terminal` numbered up to
/// `highest_reader`, else 0; with `mark_slots` every such reader 1 to 11 marks its zone slot.
int reader_zone_check(Session& session, BadgeRow& row, std::string_view terminal,
                      long highest_reader, bool mark_slots);

/// 1 when the badge's class has no type-3 authorization at reader 1 of `terminal`, else 0.
int reader1_check(Session& session, const BadgeRow& row, std::string_view terminal);

}  // namespace varnoklis
