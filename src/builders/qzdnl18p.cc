#include <array>
#include <ctime>
#include <string>
#include <string_view>

#include "base/output.h"
#include "builders/badge_walk.h"
#include "builders/builder.h"
#include "builders/record.h"
#include "queries/badge_cursor.h"
#include "queries/badge_row.h"
#include "queries/day_balances.h"
#include "queries/display_texts.h"
#include "queries/lookups.h"
#include "queries/vacation.h"
#include "queries/zone_checks.h"
#include "records/layouts.h"

namespace varnoklis {

namespace {

constexpr const records::Qzdnl18pLayout& kLayout = records::kQzdnl18p;
// The record has no class field, so only the badge number must fit.
constexpr FieldWidths kWidths = {kLayout.badge.width};
constexpr std::int32_t kShiftedLabel = 2;
constexpr std::size_t kLabelShift = 1;  // a shifted caption starts one position right
constexpr std::size_t kFirstShiftableLine = 5;
constexpr std::string_view kDateCode = "#W1";
constexpr std::string_view kNoValue = "       ";
constexpr std::string_view kShortDisplayType = "7598-002";
constexpr std::size_t kShortDisplayLines = 4;  // the short display shows lines 1 to 4

// Today by the local clock, as the terminal shows it.
std::string local_date_text() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%d.%m.%y", &local);
  return text;
}

void read_terminal_texts(Session& session, std::string_view terminal, DisplayTable& table) {
  DisplayTexts texts;
  DisplayText entry;
  if (texts.open_terminal(session, terminal) == 0) {
    while (texts.fetch(entry) == 0) store_line(table, entry);
  }
  texts.close();
}

struct ValueSource {
  std::string_view code;
  const std::string& (*text)(const BadgeRow&);
};

template <std::size_t N>
const std::string& day_balance(const BadgeRow& row) {
  return row.day_balance[N - 1];
}
template <std::size_t N>
const std::string& vacation(const BadgeRow& row) {
  return row.vacation[N - 1];
}

constexpr std::array<ValueSource, 15> kValueSources = {{
    {"#W2", day_balance<1>},
    {"#W3", vacation<6>},
    {"#W4", vacation<4>},
    {"#W5", vacation<2>},
    {"#W6", vacation<3>},
    {"#W7", vacation<5>},
    {"#W8", vacation<1>},
    {"#W9", day_balance<2>},
    {"#W10", day_balance<3>},
    {"#W11", day_balance<4>},
    {"#W12", day_balance<5>},
    {"#W13", day_balance<6>},
    {"#W14", day_balance<7>},
    {"#W15", day_balance<8>},
    {"#W16", day_balance<9>},
}};

std::string_view value_for(std::string_view code, const BadgeRow& row, const std::string& date) {
  if (code == kDateCode) return date;
  for (const ValueSource& source : kValueSources) {
    if (source.code == code) return source.text(row);
  }
  return kNoValue;
}

void put_captions(const DisplayTable& texts, std::string& record) {
  for (std::size_t line = 1; line <= texts.size(); ++line) {
    const DisplayText& entry = texts[line - 1];
    if (entry.label.empty()) continue;
    const records::Field& label = kLayout.lines[line - 1].label;
    if (line >= kFirstShiftableLine && entry.shift == kShiftedLabel) {
      put_cut(record, records::tail(label, kLabelShift), entry.label);
    } else {
      put(record, label, entry.label);
    }
  }
}

// The date is wider than a value; the first date line lends it the last caption position.
void put_values(const DisplayTable& texts, const BadgeRow& row, const std::string& date,
                std::string& record) {
  const records::Field* date_field = nullptr;
  for (std::size_t line = 1; line <= texts.size(); ++line) {
    const std::string& code = texts[line - 1].code;
    const records::DisplayLine& fields = kLayout.lines[line - 1];
    put_cut(record, fields.value, value_for(code, row, date));
    if (date_field == nullptr && code == kDateCode) date_field = &fields.date;
  }
  if (date_field != nullptr) put(record, *date_field, date);
}

// Working storage of one call, reused from badge to badge.
struct Build {
  Build(Session& s, std::string_view p, std::string_view t) : session(s), path(p), terminal(t) {}

  Session& session;
  std::string_view path;
  std::string terminal;
  std::string date = local_date_text();
  std::string terminal_type;
  DisplayTable texts;
  BadgeRow row;
  std::string previous_badge;
  std::string record;
  BuildCounts counts;
};

bool admitted(Build& b) {
  bool reader1 = reader1_check(b.session, b.row, b.terminal) == 1;
  if (!reader1) {
    print("Ausweis %s auf Terminal %s nicht zulaessig!\n",
          from_database(b.row.badge_number).c_str(), b.terminal.c_str());
  }
  // A badge at several locations arrives once per location; it gets one record.
  if (b.row.person_number.empty() || b.row.badge_number == b.previous_badge || !reader1) {
    return false;
  }
  return fits_record(b.row, kWidths, false);
}

void read_figures(Build& b) {
  const std::string shown_badge = from_database(b.row.badge_number);
  const std::string shown_person = from_database(b.row.person_number);
  const char* badge = shown_badge.c_str();
  const char* person = shown_person.c_str();
  int result = read_day_balances(b.session, b.row);
  if (result != 0)
    print("Ausweis:%s Person:%s Saldodaten nicht gefunden! %d\n", badge, person, result);
  result = read_vacation(b.session, b.row);
  if (result != 0) {
    print("Ausweis:%s Person:%s Urlaubsdaten nicht gefunden! %d\n", badge, person, result);
  }
}

void handle_badge(Build& b) {
  if (!admitted(b)) return;
  blank_record(b.record, kLayout.record_length);
  put_captions(b.texts, b.record);
  put(b.record, kLayout.badge, b.row.badge_number);
  read_figures(b);
  put_values(b.texts, b.row, b.date, b.record);
  if (b.terminal_type == kShortDisplayType) {
    blank_from(b.record, kLayout.lines[kShortDisplayLines].label);
  }
  stage_or_report(b.session, b.path, b.record, b.counts);
}

}  // namespace

BuildCounts build_qzdnl18p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema) {
  Build b(session, path, terminal);
  TerminalProfile profile;
  read_terminal_profile(session, b.terminal, profile);
  b.terminal_type = profile.type;
  read_terminal_texts(session, b.terminal, b.texts);
  walk_badges(session, schema, b.row, b.counts, [&] {
    handle_badge(b);
    b.previous_badge = b.row.badge_number;
  });
  return b.counts;
}

}  // namespace varnoklis
