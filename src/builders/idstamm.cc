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

constexpr long kHighestReader = 32;

// The last five digits of the zero-filled location number; none when they are all zeros.
std::string_view location_field(const BadgeRow& row) {
  std::string_view number = row.location_number;
  number.remove_prefix(number.size() < 3 ? number.size() : 3);
  return number == "00000" ? std::string_view() : number;
}

void format_line(const BadgeRow& row, std::string& line) {
  const records::IdstammLayout& fields = records::kIdstamm;
  records::QuotedValues values;
  records::set_value(values, fields.badge, row.badge_number);
  records::set_value(values, fields.valid_from, row.valid_from);
  records::set_value(values, fields.valid_to, row.valid_to);
  records::set_value(values, fields.location, location_field(row));
  records::set_value(values, fields.time, row.time_flag);
  records::set_value(values, fields.access, row.access_flag);
  records::set_value(values, fields.language, row.language);
  records::set_value(values, fields.balance_set, row.balance_set);
  records::set_value(values, fields.code, row.fixed_code);
  records::set_value(values, fields.class_code, row.class_code);
  records::set_value(values, fields.spare, row.spare_text);
  records::set_value(values, fields.person, row.person_number);
  records::set_value(values, fields.type, row.badge_type);
  records::write_quoted_line(values, line);
}

// A badge without a resolvable class still goes into the file, with class "0", when it may book
// time at the terminal.
void handle_badge(Session& session, BadgeRow& row, std::string_view path,
                  const std::string& terminal, std::string& line, BuildCounts& counts) {
  bool resolved = resolve_class(session, row);
  row.time_flag = "0";
  row.access_flag = "0";
  if (!resolved) row.class_code = "0";
  if (reader_zone_check(session, row, terminal, kHighestReader, false) == 1) row.access_flag = "1";
  if (reader1_check(session, row, terminal) == 1) row.time_flag = "1";
  if (row.time_flag != "1" && row.access_flag != "1") {
    print("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n",
          from_database(row.badge_number).c_str(), terminal.c_str());
    return;
  }
  row.fixed_code = "001";
  read_person(session, row);
  format_line(row, line);
  stage_or_report(session, path, line, counts);
}

}  // namespace

BuildCounts build_idstamm(Session& session, std::string_view path, std::string_view terminal,
                          std::string_view schema) {
  BuildCounts counts;
  const std::string terminal_name(terminal);
  BadgeRow row;
  std::string line;
  walk_badges(session, schema, row, counts,
              [&] { handle_badge(session, row, path, terminal_name, line, counts); });
  return counts;
}

}  // namespace varnoklis
