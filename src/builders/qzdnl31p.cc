#include <string>
#include <string_view>

#include "base/output.h"
#include "builders/badge_walk.h"
#include "builders/builder.h"
#include "builders/record.h"
#include "queries/badge_cursor.h"
#include "queries/badge_row.h"
#include "queries/class_resolution.h"
#include "queries/lookups.h"
#include "queries/zone_checks.h"

namespace varnoklis {

namespace {

constexpr std::size_t kRecordLength = 48;
constexpr FieldWidths kWidths = {13, 3};
constexpr long kHighestReader = 32;

void put_date(std::string& record, std::size_t position, const std::string& date) {
  put(record, position, date);
  if (record.compare(position - 1, 8, "        ") == 0) put(record, position, "00000000");
}

void fill_record(const BadgeRow& row, std::string& record) {
  put(record, 1, row.badge_number);
  put_date(record, 14, row.valid_from);
  put_date(record, 22, row.valid_to);
  put(record, 32, "XXXX,XX-");
  put(record, 40, "001");
  put(record, 43, row.class_code);
  put(record, 46, row.location_text);
}

// Only a badge with a resolved class and an authorized zone behind a reader goes into the file;
// the time-booking flag is carried along but does not decide.
void handle_badge(Session& session, BadgeRow& row, std::string_view path,
                  const std::string& terminal, std::string& record, BuildCounts& counts) {
  blank_record(record, kRecordLength);
  bool resolved = resolve_class(session, row);
  put(record, 30, "00");
  if (reader1_check(session, row, terminal) == 1) put(record, 30, "1");
  if (!resolved) {
    print("Ausweis %s ohne g\xfcltige Berechtigungsklasse\n",
          from_database(row.badge_number).c_str());
    return;
  }
  if (reader_zone_check(session, row, terminal, kHighestReader, false) != 1) {
    print("Ausweis %s ohne Zutrittsberechtigung auf Terminal %s\n",
          from_database(row.badge_number).c_str(), terminal.c_str());
    return;
  }
  put(record, 31, "1");
  if (!fits_record(row, kWidths, true)) return;
  read_location_text(session, row);
  fill_record(row, record);
  stage_or_report(session, path, record, counts);
}

}  // namespace

BuildCounts build_qzdnl31p(Session& session, std::string_view path, std::string_view terminal,
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
