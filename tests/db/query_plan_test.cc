// Query plans of the embedded store: no statement that runs per badge, and none that reads the
// badges or the staged records of a whole run, may scan a table that grows with the badges.
// One scanned table in a per-badge lookup turns a run over n badges into n * n row visits.
//
// The plans are taken through the program's own session (KvxCore and the client file attached
// under their schema names) on a store built by scripts/make-store, the generator of the bench
// stores. The store is not analysed (no ANALYZE statistics), so the planner works from the DDL's
// indexes alone, as it does on any store nobody has analysed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "db/result_code.h"
#include "db/session.h"
#include "db/sql_text.h"
#include "db/staging.h"
#include "db/statement.h"
#include "queries/badge_checks.h"
#include "queries/badge_cursor.h"
#include "queries/badge_row.h"
#include "queries/class_resolution.h"
#include "queries/day_balances.h"
#include "queries/display_texts.h"
#include "queries/lookups.h"
#include "queries/vacation.h"
#include "queries/zone_checks.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

namespace fs = std::filesystem;
using testing::TempStore;

// Tables a plan may scan: each holds configuration whose size is set by the terminals and
// clients of a site, never by its badges or persons, and each is read at most a few times per
// badge with a handful of rows.
//   Kvx112Mnd    one row per client
//   Kvx115Tfz    one row per terminal and client
//   Kvx401Zls    the readers of the terminals, a dozen per terminal
//   Kvx114Tsm    one profile per terminal
//   G2101SalLst  at most eight lines per balance set
//   Kvx102Whl    the display texts of the balance sets
// Everything else must be searched through an index, including the tables that do not grow
// with the badges but are read per badge and can reach thousands of rows: zone authorizations
// (classes times zones), locations, authorization assignments, cost centres, departments.
const std::set<std::string>& scannable_tables() {
  static const std::set<std::string> tables = {"kvx112mnd", "kvx115tfz",   "kvx401zls",
                                               "kvx114tsm", "g2101sallst", "kvx102whl"};
  return tables;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The table a plan line reads whole, without its schema, in lower case: a scan, or a search
// through an automatic index, which SQLite builds by reading the whole table on every execution.
// Empty when the line reads no table whole (a search through an index of the DDL, a constant
// row, a subquery's result, a sort).
std::string scanned_table(const std::string& detail) {
  static const std::regex scan(R"(^SCAN (\w+\.)?(\w+))");
  static const std::regex automatic(R"(^SEARCH (\w+\.)?(\w+) USING AUTOMATIC )");
  std::smatch match;
  if (!std::regex_search(detail, match, scan) && !std::regex_search(detail, match, automatic)) {
    return {};
  }
  std::string table = lower(match[2].str());
  if (table == "constant" || table == "subquery") return {};
  return table;
}

struct Plan {
  int executed = -1;  // 0 when EXPLAIN QUERY PLAN ran
  std::vector<std::string> details;
};

Plan explain(Session& session, const std::string& text) {
  Plan plan;
  Cursor cursor;
  plan.executed = cursor.open(session, {"Plan"}, "EXPLAIN QUERY PLAN " + text,
                              {long_column(), long_column(), long_column(), text_column(400)});
  if (plan.executed != 0) return plan;
  while (cursor.fetch() == Outcome::Ok) plan.details.emplace_back(cursor.row().text(4));
  cursor.close();
  return plan;
}

// The statements whose texts the query helpers and the staging table declare: `extern const
// SqlText kName;` in their headers.
std::set<std::string> declared_statements() {
  const fs::path source(VARNOKLIS_SOURCE_DIR);
  std::vector<fs::path> headers = {source / "src/db/staging.h"};
  for (const auto& entry : fs::directory_iterator(source / "src/queries")) {
    if (entry.path().extension() == ".h") headers.push_back(entry.path());
  }
  static const std::regex declaration(R"(extern\s+const\s+SqlText\s+(k\w+)\s*;)");
  std::set<std::string> names;
  for (const fs::path& header : headers) {
    std::string text = testing::read_file(header);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), declaration);
         it != std::sregex_iterator(); ++it) {
      names.insert((*it)[1].str());
    }
  }
  return names;
}

// A generated store of 200 badges in two clients, connected, with MANDANT1 as the current client.
class QueryPlan : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string command = std::string("\"") + VARNOKLIS_SOURCE_DIR + "/scripts/make-store\" \"" +
                          store_.folder().string() + "\" 200 2";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // The budget is that of the system's statements, every badge asking anew.
    store_.connect(session_);
    session_.set_remembering(false);
    ASSERT_EQ(session_.switch_schema("MANDANT1"), 0);

    // A real badge and person of the current client, so that every lookup has a row to find.
    Statement badge(session_, {"Plan"});
    ASSERT_EQ(badge.query_one("SELECT AswNum, AswPnr FROM KvxCore.Kvx301Asw WHERE AswMnd = 1 "
                              "ORDER BY AswNum LIMIT 1",
                              {text_column(50), text_column(8)}, ExecError::NativeNumber),
              0)
        << session_.diagnostics().message;
    badge_number_ = std::string(badge.text(1));
    person_ = std::string(badge.text(2));
  }

  // Every statement text of the SQLite dialect with the values a run puts into it.
  std::vector<std::pair<std::string, std::string>> statements() const {
    const Dialect d = Dialect::Sqlite;
    const std::string& s = session_.schema();
    const std::string& b = badge_number_;
    const std::string& p = person_;
    const std::string path = "/srv/dnl/T01.dnl";
    return {
        {"kBadgeCursorSql", fill(kBadgeCursorSql, d, {s})},
        {"kClassByGroupSql", fill(kClassByGroupSql, d, {s, "G1"})},
        {"kClassByCostCentreSql", fill(kClassByCostCentreSql, d, {s, s, p})},
        {"kClassByCostCentreTableSql", fill(kClassByCostCentreTableSql, d, {s, s, s, p})},
        {"kClassByDepartmentSql", fill(kClassByDepartmentSql, d, {s, s, p})},
        {"kClassByDepartmentListSql", fill(kClassByDepartmentListSql, d, {s, s, s, p})},
        {"kClassByPersonEntriesSql", fill(kClassByPersonEntriesSql, d, {s, s, p})},
        {"kDayBalancesSql", fill(kDayBalancesSql, d, {s, s, p})},
        {"kTerminalDisplayLinesSql", fill(kTerminalDisplayLinesSql, d, {"T01"})},
        {"kTerminalDisplayCodeSql", fill(kTerminalDisplayCodeSql, d, {"T01", "1"})},
        {"kPersonDisplayLinesSql", fill(kPersonDisplayLinesSql, d, {s, p})},
        {"kPersonDisplayCodeSql", fill(kPersonDisplayCodeSql, d, {s, p, "1"})},
        {"kTerminalProfileSql", fill(kTerminalProfileSql, d, {"T01"})},
        {"kLocationTextSql", fill(kLocationTextSql, d, {b})},
        {"kPersonSql", fill(kPersonSql, d, {s, p})},
        {"kVacationAccountSql", fill(kVacationAccountSql, d, {s, p})},
        {"kVacationEntitlementSql", fill(kVacationEntitlementSql, d, {s, s, p})},
        {"kReadersSql", fill(kReadersSql, d, {"T01", "11"})},
        {"kZoneAuthorizationCountSql", fill(kZoneAuthorizationCountSql, d, {"5  ", "Z05"})},
        {"kType3AuthorizationCountSql", fill(kType3AuthorizationCountSql, d, {"8  ", "Z01"})},
        {"kClearStagingSql", fill(kClearStagingSql, d, {path})},
        {"kStageRecordSql", fill(kStageRecordSql, d, {path, "0000000001 record"})},
        {"kReadBackSql", fill(kReadBackSql, d, {path})},
        {"kReadBackFirstPageSql", fill(kReadBackFirstPageSql, d, {path, "500"})},
        {"kReadBackNextPageSql", fill(kReadBackNextPageSql, d, {path, "1", "1", "500"})},
        {"kBadgeConditionsSql", fill(kBadgeConditionsSql, d, {b})},
    };
  }

  TempStore store_;
  Session session_;
  std::string badge_number_;
  std::string person_;
};

// A statement added to a header without a place in this list would go unplanned.
TEST_F(QueryPlan, CoversEveryDeclaredStatement) {
  std::set<std::string> planned;
  for (const auto& [name, text] : statements()) planned.insert(name);
  std::set<std::string> declared = declared_statements();
  ASSERT_FALSE(declared.empty());
  for (const std::string& name : declared) {
    EXPECT_TRUE(planned.count(name)) << name << " is declared but its plan is not checked";
  }
  for (const std::string& name : planned) {
    EXPECT_TRUE(declared.count(name)) << name << " is checked but no longer declared";
  }
}

TEST_F(QueryPlan, NoStatementScansATableThatGrowsWithTheBadges) {
  for (const auto& [name, text] : statements()) {
    SCOPED_TRACE(name);
    Plan plan = explain(session_, text);
    ASSERT_EQ(plan.executed, 0) << session_.diagnostics().message << "\n" << text;
    // Only an insert of literal values has no plan of its own.
    if (text.find("INSERT") == std::string::npos) {
      EXPECT_FALSE(plan.details.empty()) << text;
    }
    std::ostringstream shown;
    for (const std::string& line : plan.details) shown << "  " << line << "\n";
    // varnoklis-explain asks it once for one badge, never per badge of a run: a badge number
    // compared without regard to letter case has no index, and one scan costs milliseconds.
    if (name == "kBadgeConditionsSql") continue;
    for (const std::string& line : plan.details) {
      std::string table = scanned_table(line);
      EXPECT_TRUE(table.empty() || scannable_tables().count(table)) << "scans " << table << ":\n"
                                                                    << shown.str();
    }
  }
}

// The bench's figures rest on the generated data: every badge finds its class, its day record,
// its vacation rows, its location and its person, and each lookup costs the statements the
// system allows it. Class k grants access at T01 first at reader 1, 2, 3, 5, 8 or 11, or
// nowhere, by (k - 1) % 8, and the last pattern bars time booking at reader 1.
class GeneratedStore : public QueryPlan {
 protected:
  // Statements sent by `lookup`.
  template <typename Lookup>
  std::uint64_t cost(Lookup lookup) {
    std::uint64_t before = session_.counts().statements;
    lookup();
    return session_.counts().statements - before;
  }
};

TEST_F(GeneratedStore, EveryBadgeReachesEveryLookupWithinItsStatementBudget) {
  static const int kFirstGrantingReader[8] = {1, 2, 3, 5, 8, 11, 0, 1};
  int badges = 0;
  int by_group = 0;
  for (const char* client : {"MANDANT1", "MANDANT2"}) {
    ASSERT_EQ(session_.switch_schema(client), 0);
    BadgeCursor cursor;
    ASSERT_EQ(cursor.open(session_, client), 0);
    BadgeRow row;
    int fetched = 0;
    while ((fetched = cursor.fetch(row)) == 0) {
      SCOPED_TRACE(client + std::string(" badge ") + row.badge_number);
      ++badges;
      const int k = std::stoi(row.badge_group.substr(1));
      const int pattern = (k - 1) % 8;
      const int granting = kFirstGrantingReader[pattern];

      bool unresolved = row.class_code == kUnresolvedClass;
      bool resolved = false;
      EXPECT_EQ(cost([&] { resolved = resolve_class(session_, row); }), unresolved ? 1u : 0u);
      EXPECT_TRUE(resolved);
      if (unresolved) ++by_group;
      char expected_class[8];
      std::snprintf(expected_class, sizeof expected_class, "%-3d", k);
      EXPECT_EQ(row.class_code, expected_class);

      int rc = -1;
      EXPECT_EQ(cost([&] { rc = read_day_balances(session_, row); }), 1u);
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(cost([&] { rc = read_vacation(session_, row); }), 2u);
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(cost([&] { rc = read_location_text(session_, row); }), 1u);
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(cost([&] { rc = read_person(session_, row); }), 1u);
      EXPECT_EQ(rc, 0);

      // One reader query, then one count per reader up to the first that grants access.
      EXPECT_EQ(cost([&] { rc = reader_zone_check(session_, row, "T01", 11, true); }),
                1u + static_cast<unsigned>(granting == 0 ? 11 : granting));
      EXPECT_EQ(rc, granting == 0 ? 0 : 1);
      EXPECT_EQ(cost([&] { rc = reader_zone_check(session_, row, "T01", 3, false); }),
                1u + static_cast<unsigned>(granting == 0 || granting > 3 ? 3 : granting));
      EXPECT_EQ(cost([&] { rc = reader1_check(session_, row, "T01"); }), 2u);
      EXPECT_EQ(rc, pattern == 7 ? 0 : 1);
      row.clear();
    }
    EXPECT_EQ(fetched, kNoData);
    cursor.close();
  }
  EXPECT_EQ(badges, 200);
  EXPECT_EQ(by_group, 40);
}

// The reader of the plans must see a scan in every form SQLite writes one, or the check above
// would pass a scan unnoticed.
TEST(QueryPlanLines, ScansAreToldFromSearches) {
  EXPECT_EQ(scanned_table("SCAN KvxCore.Kvx301Asw"), "kvx301asw");
  EXPECT_EQ(scanned_table("SCAN MANDANT1.Kvx300Pnr USING INDEX Kvx300Pnr_Num"), "kvx300pnr");
  EXPECT_EQ(scanned_table("SCAN KVXCORE.KVX999TMP USING COVERING INDEX Kvx999Tmp_Usr"),
            "kvx999tmp");
  EXPECT_EQ(scanned_table("SCAN Kvx113Sto"), "kvx113sto");
  EXPECT_EQ(scanned_table("SEARCH KvxCore.Kvx113Awv USING AUTOMATIC COVERING INDEX (AwvNum=?)"),
            "kvx113awv");
  EXPECT_EQ(scanned_table("SEARCH KvxCore.Kvx113Awv USING INDEX Kvx113Awv_Num (AwvNum=?)"), "");
  EXPECT_EQ(scanned_table("SCAN CONSTANT ROW"), "");
  EXPECT_EQ(scanned_table("USE TEMP B-TREE FOR ORDER BY"), "");
}

}  // namespace
}  // namespace varnoklis
