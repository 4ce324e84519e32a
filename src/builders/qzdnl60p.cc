#include <array>
#include <string>
#include <string_view>

#include "base/output.h"
#include "builders/badge_walk.h"
#include "builders/builder.h"
#include "builders/record.h"
#include "builders/time_access.h"
#include "queries/badge_cursor.h"
#include "queries/badge_row.h"
#include "queries/class_resolution.h"
#include "queries/day_balances.h"
#include "queries/display_texts.h"
#include "records/layouts.h"

namespace varnoklis {

namespace {

constexpr const records::Qzdnl60pLayout& kLayout = records::kQzdnl60p;

struct BalanceCode {
  std::string_view code;
  std::size_t balance;  // index of the day-balance text
};
constexpr std::array<BalanceCode, 9> kBalanceCodes = {{{"#W2", 0},
                                                       {"#W9", 1},
                                                       {"#W10", 2},
                                                       {"#W11", 3},
                                                       {"#W12", 4},
                                                       {"#W13", 5},
                                                       {"#W14", 6},
                                                       {"#W15", 7},
                                                       {"#W16", 8}}};

// The first line of the terminal's balance set names the balance all its records show.
std::string first_line_code(Session& session, std::string_view terminal) {
  DisplayText entry;
  DisplayTexts texts;
  texts.open_terminal(session, terminal);
  texts.fetch(entry);
  texts.close();
  return entry.code;
}

void put_day_balance(Session& session, BadgeRow& row, std::string_view code, std::string& record) {
  if (read_day_balances(session, row) != 0) return;
  for (const BalanceCode& entry : kBalanceCodes) {
    if (entry.code != code) continue;
    put_cut(record, records::kTimeAccess.balance, row.day_balance[entry.balance]);
    return;
  }
}

void handle_badge(Session& session, BadgeRow& row, std::string_view path,
                  const std::string& terminal, std::string_view code, std::string& record,
                  BuildCounts& counts) {
  blank_record(record, kLayout.record_length);
  bool resolved = resolve_class(session, row);
  put_badge_head(row, record);
  put_day_balance(session, row, code, record);
  Rights rights = put_rights(session, row, terminal, resolved, kLayout.readers, record);
  if (!rights.time && !rights.access) {
    print("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n",
          from_database(row.badge_number).c_str(), terminal.c_str());
    return;
  }
  // The class is written only into the reader groups, and they are filled only with access.
  if (!fits_record(row, kTimeAccessWidths, rights.access)) return;
  stage_or_report(session, path, record, counts);
}

}  // namespace

BuildCounts build_qzdnl60p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema) {
  BuildCounts counts;
  const std::string terminal_name(terminal);
  const std::string code = first_line_code(session, terminal_name);
  BadgeRow row;
  std::string record;
  walk_badges(session, schema, row, counts,
              [&] { handle_badge(session, row, path, terminal_name, code, record, counts); });
  return counts;
}

}  // namespace varnoklis
