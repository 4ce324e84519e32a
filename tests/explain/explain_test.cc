#include "explain/explain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/encoding.h"
#include "explain/report.h"
#include "queries/badge_checks.h"
#include "records/layouts.h"
#include "show/reader.h"
#include "support/e2e.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::load_demo;
using testing::RunResult;
using testing::TempStore;
using testing::Workplace;

// The values of every `"key": "…"` (a JSON string) in `json`, unescaped, in order; a null value
// is left out.
std::vector<std::string> string_values(const std::string& json, const std::string& key) {
  std::vector<std::string> values;
  const std::string marker = "\"" + key + "\": \"";
  for (std::size_t at = json.find(marker); at != std::string::npos; at = json.find(marker, at)) {
    at += marker.size();
    std::string value;
    while (at < json.size() && json[at] != '"') {
      if (json[at] == '\\') {
        ++at;
        if (json[at] == 'u') {
          append_utf8(static_cast<std::uint32_t>(std::stoul(json.substr(at + 1, 4), nullptr, 16)),
                      value);
          at += 4;
        } else {
          value += json[at] == 'n' ? '\n' : json[at];
        }
      } else {
        value += json[at];
      }
      ++at;
    }
    values.push_back(value);
  }
  return values;
}

std::string record_text(const records::Layout& layout, const show::Record& record) {
  std::string text;
  for (const std::string& field : record.fields) {
    text += layout.record_length > 0 ? field : "\"" + field + "\",";
  }
  if (layout.record_length == 0) text.pop_back();
  return utf8_of_cp1252(text);
}

// The test that catches drift: for every badge of the demo store at every terminal and keyword,
// explain selects exactly the badges the run's file holds, with exactly the file's records.
TEST(ExplainSweep, AgreesWithTheRunsFileForEveryBadgeTerminalAndKeyword) {
  TempStore store;
  load_demo(store);
  Workplace place(store);
  std::string listed = store.query("KVXCORE", "SELECT DISTINCT AswNum FROM Kvx301Asw;");
  std::vector<std::string> badges;
  for (std::size_t at = 0, end; at < listed.size(); at = end + 1) {
    end = listed.find('\n', at);
    badges.push_back(listed.substr(at, end - at));
  }
  badges.push_back("NOSUCH");
  for (const records::Layout& layout : records::all_layouts()) {
    for (const char* terminal : {"T01", "T02", "T03", "T04"}) {
      std::string keyword(layout.keyword);
      std::string file = place.file(keyword + terminal + ".dnl");
      place.run({keyword, terminal, file, "1"});
      show::Contents contents = show::read_download(layout, file);
      ASSERT_TRUE(contents.ok) << keyword << " " << terminal;
      std::map<std::string, std::vector<std::string>> in_file;
      for (const show::Record& record : contents.records) {
        in_file[std::string(show::badge_of(layout, record))].push_back(record_text(layout, record));
      }
      for (const std::string& badge : badges) {
        SCOPED_TRACE(keyword + " " + terminal + " " + badge);
        RunResult answer =
            place.run_tool("varnoklis-explain", {keyword, terminal, badge, "--json"});
        EXPECT_TRUE(answer.status == 0 || answer.status == 3) << answer.status;
        bool selected = answer.output.find("\"selected\": true") != std::string::npos;
        std::vector<std::string> built = string_values(answer.output, "record");
        std::vector<std::string> expected = in_file[badge];
        std::sort(built.begin(), built.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_TRUE(expected.empty() || selected);
        EXPECT_EQ(built, expected);
      }
    }
  }
}

// One badge per reason a badge is not selected, added to the demo store.
TEST(Explain, NamesTheFirstConditionThatLeavesNoRow) {
  TempStore store;
  load_demo(store);
  store.sql(
      "KVXCORE",
      "INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum) VALUES ('MANDANT7', 0, 1, 7),"
      " ('MANDANT8', 0, 1, 8);"
      "INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T01', 1, 7);"
      "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswLiz, AswMnd) VALUES"
      " ('X-OTHER', '2000-01-01', '1', '10', 1, 8), ('X-UNVISITED', '2000-01-01', '1', '10', 1, 7),"
      " ('X-DATES', NULL, '1', '10', 1, 1), ('X-NOLOC', '2000-01-01', '1', '10', 1, 1),"
      " ('X-LOCSTA', '2000-01-01', '1', '10', 1, 1);"
      "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswLiz, AswMnd, AswSta) VALUES"
      " ('X-STATUS', '2000-01-01', '1', '10', 1, 1, 8);"
      "INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES ('X-OTHER', '1', NULL),"
      " ('X-UNVISITED', '1', NULL), ('X-DATES', '1', NULL), ('X-STATUS', '1', NULL),"
      " ('X-LOCSTA', '1', 4), ('X-LOCSTA', '2', 8);");
  Workplace place(store);
  const std::pair<const char*, const char*> cases[] = {{"NOSUCH", "no_badge"},
                                                       {"X-OTHER", "other_client"},
                                                       {"x-unvisited ", "client_not_visited"},
                                                       {"X-DATES", "validity"},
                                                       {"X-STATUS", "badge_status"},
                                                       {"X-NOLOC", "no_location"},
                                                       {"X-LOCSTA", "location_status"}};
  for (const auto& [badge, reason] : cases) {
    RunResult answer = place.run_tool("varnoklis-explain", {"QZDNL31P", "T01", badge, "--json"});
    EXPECT_NE(answer.output.find(std::string("\"selected\": false, \"excluded_by\": \"") + reason +
                                 "\", \"setup_questions\": [], \"rows\": []"),
              std::string::npos)
        << badge << ": " << answer.output;
  }
  RunResult selected = place.run_tool("varnoklis-explain", {"qzdnl31p", "T01", "1001 ", "--json"});
  EXPECT_EQ(selected.status, 0);
  EXPECT_NE(selected.output.find("\"selected\": true, \"excluded_by\": null"), std::string::npos);
  EXPECT_EQ(place.run_tool("varnoklis-explain", {"QZDNL31P", "T01", std::string(51, '1')}).status,
            1);
  EXPECT_EQ(place.run_tool("varnoklis-explain", {"QZDNL99P", "T01", "1001"}).status, 1);
  EXPECT_EQ(place.run_tool("varnoklis-explain", {"QZDNL31P", "T99", "1001"}).status, 1);
}

TEST(Explain, ComparesTheBadgesRecordsInAFile) {
  TempStore store;
  load_demo(store);
  Workplace place(store);
  std::string file = place.file("17.dnl");
  ASSERT_EQ(place.run({"QZDNL17P", "T01", file, "1"}).status, 0);
  // Badge 1005's balance changed, badge 1001's record twice.
  std::string bytes = testing::read_file(file);
  std::size_t changed = bytes.find("1005         ");
  ASSERT_EQ(changed % 85, 0u);
  bytes.replace(changed + 23, 7, " 99,99 ");
  bytes += bytes.substr(bytes.find("1001         "), 85);
  testing::write_file(file, bytes);
  auto compare = [&](const char* badge, const std::string& path) {
    RunResult answer =
        place.run_tool("varnoklis-explain", {"QZDNL17P", "T01", badge, "--file", path, "--json"});
    std::size_t at = answer.output.find("], \"same\": ");
    if (at == std::string::npos) at = answer.output.find("\"error\"");
    return std::to_string(answer.status) +
           (at == std::string::npos ? answer.output : answer.output.substr(at));
  };
  EXPECT_EQ(compare("1002", file), "0], \"same\": true, \"differs_in\": []}}\n");
  EXPECT_EQ(compare("1005", file), "0], \"same\": false, \"differs_in\": [\"balance\"]}}\n");
  EXPECT_EQ(compare("1001", file), "0], \"same\": false, \"differs_in\": [\"records\"]}}\n");
  EXPECT_EQ(compare("1001", place.file("missing.dnl")).substr(0, 8), "4\"error\"");
}

TEST(Explain, BadgeConditionsParseAsTransactSql) {
  EXPECT_EQ(
      std::string(kBadgeConditionsSql.server),
      "SELECT  MndSch, CASE WHEN (convert(char(8), CURRENT_TIMESTAMP, 112) >= AswGvo AND AswGbi IS "
      "NULL)   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= AswGbi AND AswGvo IS NULL)   OR "
      "(convert(char(8), CURRENT_TIMESTAMP, 112) >= AswGvo       AND convert(char(8), "
      "CURRENT_TIMESTAMP, 112) <= AswGbi) THEN 1 ELSE 0 END, CASE WHEN (AswSta <> 4 AND AswSta <> "
      "8) OR AswSta IS NULL THEN 1 ELSE 0 END, CASE WHEN AwvNum IS NULL THEN 0 ELSE 1 END, CASE "
      "WHEN (AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL THEN 1 ELSE 0 END  FROM  "
      "KvxCore.Kvx301Asw  LEFT JOIN KvxCore.Kvx112Mnd ON ASWLIZ = MNDLIZ AND ASWMND = MNDNUM  "
      "LEFT JOIN KvxCore.Kvx113Awv ON ASWNUM = AWVNUM  WHERE AswNum = '%s'  ORDER BY MndSch ");
  if (testing::run_command("/usr/bin/python3 -c 'import sqlglot' 2>/dev/null").status != 0) {
    GTEST_SKIP() << "python3-sqlglot is not installed (scripts/install-deps installs it)";
  }
  testing::TempDir dir;
  testing::write_file(dir.path() / "check.sql", kBadgeConditionsSql.server);
  RunResult parsed = testing::run_command(
      "/usr/bin/python3 -c 'import sqlglot, sys; sqlglot.parse_one(open(sys.argv[1]).read(), "
      "read=\"tsql\"); print(\"parsed\")' " +
      testing::shell_quote((dir.path() / "check.sql").string()) + " 2>&1");
  EXPECT_EQ(parsed.output, "parsed\n");
}

}  // namespace
}  // namespace varnoklis
