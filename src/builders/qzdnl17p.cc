#include <string>
#include <string_view>

#include "base/output.h"
#include "builders/badge_walk.h"
#include "builders/builder.h"
#include "builders/record.h"
#include "builders/time_access.h"
#include "db/result_code.h"
#include "queries/badge_cursor.h"
#include "queries/badge_row.h"
#include "queries/class_resolution.h"
#include "queries/day_balances.h"
#include "queries/lookups.h"
#include "records/layouts.h"

namespace varnoklis {

namespace {

constexpr const records::Qzdnl17pLayout& kLayout = records::kQzdnl17p;

// Only a found balance is shown; any failure leaves its field blank and the rest of
// the record intact.
void put_day_balance(Session& session, BadgeRow& row, std::string& record) {
  int result = read_day_balances(session, row);
  if (result != 0) {
    print("Saldo Ermitteln. Pnr: %s SQLCode:%ld\n", from_database(row.person_number).c_str(),
          static_cast<long>(result));
    return;
  }
  put_cut(record, records::kTimeAccess.balance, row.day_balance.front());
}

// The location replaces reader group 7, whatever the group held.
void put_location(Session& session, BadgeRow& row, std::string& record) {
  int result = read_location_text(session, row);
  if (result == 0) {
    put(record, kLayout.location_group.reader, kLayout.location_group.reader.name);
    put(record, kLayout.location, row.location_text);
  } else if (result != kNoData) {
    print("SQL Standortbez. Ermitteln. SQLCode:%ld\n", static_cast<long>(result));
  }
}

void handle_badge(Session& session, BadgeRow& row, std::string_view path,
                  const std::string& terminal, std::string& record, BuildCounts& counts) {
  blank_record(record, kLayout.record_length);
  bool resolved = resolve_class(session, row);
  put_badge_head(row, record);
  put_day_balance(session, row, record);
  Rights rights = put_rights(session, row, terminal, resolved, kLayout.readers, record);
  if (!rights.time && !rights.access) {
    print("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n",
          from_database(row.badge_number).c_str(), terminal.c_str());
    return;
  }
  // The class is written only into the reader groups, and they are filled only with access.
  if (!fits_record(row, kTimeAccessWidths, rights.access)) return;
  put_location(session, row, record);
  stage_or_report(session, path, record, counts);
}

}  // namespace

BuildCounts build_qzdnl17p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema) {
  BuildCounts counts;
  const std::string terminal_name(terminal);
  BadgeRow row;
  std::string record;
  walk_badges(session, schema, row, counts,
              [&] { handle_badge(session, row, path, terminal_name, record, counts); });
  return counts;
}

}  // namespace varnoklis
