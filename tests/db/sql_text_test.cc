#include "db/sql_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "db/schemas.h"
#include "db/staging.h"
#include "db/terminal_check.h"
#include "queries/badge_checks.h"
#include "queries/badge_cursor.h"
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

TEST(SqlText, FillDoublesQuotesAndLeavesOtherPercentSignsAlone) {
  EXPECT_EQ(fill("a = '%s' AND b <= %ld AND c = '%s'", {"x'OR'1'='1", "11", "%s%n"}),
            "a = 'x''OR''1''=''1' AND b <= 11 AND c = '%s%n'");
  EXPECT_EQ(fill("strftime('%Y%m%d', x) = '%s'", {"20261208"}),
            "strftime('%Y%m%d', x) = '20261208'");
  EXPECT_EQ(fill("'%s' '%s'", {"only"}), "'only' '%s'");
}

// Every statement constant of the program, by the name the data file gives it.
const std::map<std::string, const SqlText*>& text_constants() {
  static const std::map<std::string, const SqlText*> constants = {
      {"kLinkedSchemasSql", &kLinkedSchemasSql},
      {"kAllSchemasSql", &kAllSchemasSql},
      {"kClearStagingSql", &kClearStagingSql},
      {"kStageRecordSql", &kStageRecordSql},
      {"kReadBackSql", &kReadBackSql},
      {"kReadBackFirstPageSql", &kReadBackFirstPageSql},
      {"kReadBackNextPageSql", &kReadBackNextPageSql},
      {"kTerminalKnownSql", &kTerminalKnownSql},
      {"kBadgeCursorSql", &kBadgeCursorSql},
      {"kClassByGroupSql", &kClassByGroupSql},
      {"kClassByCostCentreSql", &kClassByCostCentreSql},
      {"kClassByCostCentreTableSql", &kClassByCostCentreTableSql},
      {"kClassByDepartmentSql", &kClassByDepartmentSql},
      {"kClassByDepartmentListSql", &kClassByDepartmentListSql},
      {"kClassByPersonEntriesSql", &kClassByPersonEntriesSql},
      {"kDayBalancesSql", &kDayBalancesSql},
      {"kTerminalDisplayLinesSql", &kTerminalDisplayLinesSql},
      {"kTerminalDisplayCodeSql", &kTerminalDisplayCodeSql},
      {"kPersonDisplayLinesSql", &kPersonDisplayLinesSql},
      {"kPersonDisplayCodeSql", &kPersonDisplayCodeSql},
      {"kTerminalProfileSql", &kTerminalProfileSql},
      {"kLocationTextSql", &kLocationTextSql},
      {"kPersonSql", &kPersonSql},
      {"kVacationAccountSql", &kVacationAccountSql},
      {"kVacationEntitlementSql", &kVacationEntitlementSql},
      {"kReadersSql", &kReadersSql},
      {"kZoneAuthorizationCountSql", &kZoneAuthorizationCountSql},
      {"kType3AuthorizationCountSql", &kType3AuthorizationCountSql},
      {"kBadgeConditionsSql", &kBadgeConditionsSql},
  };
  return constants;
}

// The texts of tests/data/sql_texts.txt by "<constant> <dialect>"; a line the format does not
// know fails the test.
std::map<std::string, std::string> pinned_texts() {
  std::istringstream in(
      testing::read_file(fs::path(VARNOKLIS_SOURCE_DIR) / "tests/data/sql_texts.txt"));
  static const std::regex heading(R"(^(k\w+) (server|sqlite)$)");
  static const std::regex piece(R"(^\s+\|(.*)\|$)");
  std::map<std::string, std::string> texts;
  std::string key;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    std::smatch match;
    if (line.empty() || line[0] == '#') {
      key.clear();
    } else if (std::regex_match(line, match, heading)) {
      key = match[1].str() + " " + match[2].str();
      EXPECT_TRUE(texts.emplace(key, "").second) << key << " is given twice";
    } else if (!key.empty() && std::regex_match(line, match, piece)) {
      texts[key] += match[1].str();
    } else {
      ADD_FAILURE() << "line " << number << " of the data file is neither a heading nor a piece";
    }
  }
  return texts;
}

// The statements declared in the headers: `extern const SqlText kName;`.
std::set<std::string> declared_statements() {
  static const std::regex declaration(R"(extern\s+const\s+SqlText\s+(k\w+)\s*;)");
  std::set<std::string> names;
  for (const auto& entry :
       fs::recursive_directory_iterator(fs::path(VARNOKLIS_SOURCE_DIR) / "src")) {
    if (entry.path().extension() != ".h") continue;
    std::string text = testing::read_file(entry.path());
    for (auto it = std::sregex_iterator(text.begin(), text.end(), declaration);
         it != std::sregex_iterator(); ++it) {
      names.insert((*it)[1].str());
    }
  }
  return names;
}

// The SQL Server texts have no other guard: each text of both dialects is compared whole.
TEST(SqlText, EveryStatementTextIsTheDataFilesInBothDialects) {
  std::map<std::string, std::string> pinned = pinned_texts();
  for (const auto& [name, sql] : text_constants()) {
    for (const auto& [dialect, text] :
         {std::pair{"server", sql->server}, {"sqlite", sql->sqlite}}) {
      auto found = pinned.find(name + " " + dialect);
      if (found == pinned.end()) {
        ADD_FAILURE() << name << " " << dialect << " is missing from the data file";
        continue;
      }
      EXPECT_EQ(text, found->second) << name << " " << dialect;
      pinned.erase(found);
    }
  }
  for (const auto& [key, text] : pinned) {
    ADD_FAILURE() << key << " is in the data file but not in the test's list of constants";
  }
  for (const std::string& name : declared_statements()) {
    EXPECT_TRUE(text_constants().count(name)) << name << " is declared but not in the list";
  }
}

}  // namespace
}  // namespace varnoklis
