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
#include "records/layouts.h"

namespace varnoklis {

namespace {

constexpr const records::Qzdnl31pLayout& kLayout = records::kQzdnl31p;
constexpr FieldWidths kWidths = {kLayout.badge.width, kLayout.class_code.width};
constexpr long kHighestReader = 32;
constexpr std::string_view kNeither = "00";  // both flags cleared
constexpr std::string_view kYes = "1";
constexpr std::string_view kFixedText = "XXXX,XX-";
constexpr std::string_view kFixedCode = "001";
constexpr char kOpenDate = '0';

void put_date(std::string& record, const records::Field& field, const records::Field& open,
              const std::string& date) {
  put(record, field, date);
  if (is_blank(record, open)) fill(record, open, kOpenDate);
}

void fill_record(const BadgeRow& row, std::string& record) {
  put(record, kLayout.badge, row.badge_number);
  put_date(record, kLayout.valid_from, kLayout.open_valid_from, row.valid_from);
  put_date(record, kLayout.valid_to, kLayout.open_valid_to, row.valid_to);
  put(record, kLayout.fixed, kFixedText);
  put(record, kLayout.code, kFixedCode);
  put(record, kLayout.class_code, row.class_code);
  put(record, kLayout.location, row.location_text);
}

// Only a badge with a resolved class and an authorized zone behind a reader goes into the file;
// the time-booking flag is carried along but does not decide.
void handle_badge(Session& session, BadgeRow& row, std::string_view path,
                  const std::string& terminal, std::string& record, BuildCounts& counts) {
  blank_record(record, kLayout.record_length);
  bool resolved = resolve_class(session, row);
  put(record, kLayout.flags, kNeither);
  if (reader1_check(session, row, terminal) == 1) put(record, kLayout.time, kYes);
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
  put(record, kLayout.access, kYes);
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
