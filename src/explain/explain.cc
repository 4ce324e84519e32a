#include "explain/explain.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "base/output.h"
#include "builders/builder.h"
#include "db/session.h"
#include "db/text.h"
#include "explain/collector.h"
#include "explain/file_check.h"
#include "explain/report.h"
#include "queries/badge_checks.h"
#include "records/layouts.h"
#include "run/setup.h"

namespace varnoklis::explain {

namespace {

constexpr std::size_t kBadgeCapacity = 50;

struct Request {
  std::string keyword;
  std::string terminal;
  std::string badge;
  std::optional<std::string> file;
  bool json = false;
};

void usage() {
  std::fputs("usage: varnoklis-explain KEYWORD TERMINAL BADGE [--file PATH] [--json]\n", stderr);
}

bool read_request(const std::vector<std::string>& args, Request& request) {
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      request.json = true;
    } else if (args[i] == "--file" && i + 1 < args.size()) {
      request.file = args[++i];
    } else if (args[i].starts_with("--")) {
      std::fprintf(stderr, "varnoklis-explain: unknown option %s\n", args[i].c_str());
      usage();
      return false;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 3) {
    usage();
    return false;
  }
  request.keyword = positional[0];
  request.terminal = positional[1];
  request.badge = positional[2];
  if (request.badge.size() > kBadgeCapacity) {
    std::fputs("varnoklis-explain: BADGE is longer than 50 characters\n", stderr);
    return false;
  }
  if (!fits("Param1", request.keyword, kKeywordCapacity) ||
      !fits("Param2", request.terminal, kTerminalCapacity)) {
    return false;
  }
  return known_keyword(request.keyword);
}

struct Listed {
  std::string schema;
  bool usable = false;
};

bool listed_as(const std::vector<Listed>& listed, const BadgeConditions& row, bool usable_only) {
  std::string schema = row.schema;
  upper_case(schema);
  for (const Listed& entry : listed) {
    if (entry.schema == schema && (entry.usable || !usable_only)) return true;
  }
  return false;
}

// Each check keeps the rows that pass it; the first that keeps none names the reason.
const char* first_exclusion(std::vector<BadgeConditions> rows, const std::vector<Listed>& listed) {
  using Check = bool (*)(const BadgeConditions&, const std::vector<Listed>&);
  const std::pair<const char*, Check> checks[] = {
      {"no_badge", [](const BadgeConditions&, const std::vector<Listed>&) { return true; }},
      {"other_client", [](const BadgeConditions& r,
                          const std::vector<Listed>& l) { return listed_as(l, r, false); }},
      {"client_not_visited", [](const BadgeConditions& r,
                                const std::vector<Listed>& l) { return listed_as(l, r, true); }},
      {"validity",
       [](const BadgeConditions& r, const std::vector<Listed>&) { return r.valid_today; }},
      {"badge_status",
       [](const BadgeConditions& r, const std::vector<Listed>&) { return r.badge_usable; }},
      {"no_location",
       [](const BadgeConditions& r, const std::vector<Listed>&) { return r.has_location; }},
      {"location_status",
       [](const BadgeConditions& r, const std::vector<Listed>&) { return r.location_usable; }},
  };
  for (const auto& [reason, passes] : checks) {
    std::erase_if(rows, [&](const BadgeConditions& r) { return !passes(r, listed); });
    if (rows.empty()) return reason;
  }
  return "unexplained";
}

// The builder's own walk, with the collector as trace and sink: every client the run visits,
// each built exactly as the run builds it.
void build_rows(Session& session, const Builder& builder, const Request& request,
                Explanation& explanation, std::vector<Listed>& listed, Visits& visits) {
  Collector collector(explanation, builder.record_length, builder.line_end, stderr);
  session.set_trace(&collector);
  session.set_sink(&collector);
  visit_schemas(session, request.terminal, visits, [&](const std::string& name, bool usable) {
    listed.push_back({name, usable});
    if (!usable) return;
    collector.begin_client();
    builder.build(session, "", request.terminal, name);
  });
  session.set_trace(nullptr);
  session.set_sink(nullptr);
}

int explain(const Request& request, Explanation& explanation) {
  Credentials credentials;
  if (!read_credentials(credentials)) return kNoConnect;
  Session session;
  session.set_remembering(std::getenv("VARNOKLIS_NO_MEMORY") == nullptr);
  if (!connect_database(session, credentials)) return kNoConnect;
  switch (check_terminal(session, request.terminal)) {
    case 1:
      break;
    case 0:
      return kBadRequest;
    default:
      return kReadFailed;
  }
  const Builder& builder = *find_builder(request.keyword);
  std::vector<Listed> listed;
  Visits visits;
  build_rows(session, builder, request, explanation, listed, visits);
  if (explanation.rows.empty()) {
    std::vector<BadgeConditions> rows;
    std::string badge(right_trimmed(request.badge));
    explanation.excluded_by = read_badge_conditions(session, badge, rows) == 0
                                  ? first_exclusion(std::move(rows), listed)
                                  : "unexplained";
  }
  return session.counts().failures > 0 || visits.list_failed ? kReadFailed : kExplained;
}

}  // namespace

int run_explain(const std::vector<std::string>& args) {
  // Every run message goes to standard error; standard output holds the answer alone.
  set_thread_output(stderr);
  Request request;
  if (!read_request(args, request)) return kBadRequest;
  Explanation explanation;
  explanation.keyword = request.keyword;
  explanation.terminal = request.terminal;
  explanation.badge = request.badge;
  int status = explain(request, explanation);
  if (status == kNoConnect || status == kBadRequest ||
      (status == kReadFailed && explanation.rows.empty() && !explanation.excluded_by)) {
    return status;
  }
  const records::Layout& layout = *records::find_layout(request.keyword);
  if (request.file) {
    std::vector<std::string> built;
    for (const Row& row : explanation.rows) {
      if (row.record) built.push_back(*row.record);
    }
    explanation.file = compare_file(layout, *request.file, request.badge, built);
    if (explanation.file->error) status = kFileProblem;
  }
  std::string answer =
      request.json ? to_json(explanation, layout, utf8_messages()) : to_text(explanation, layout);
  std::fwrite(answer.data(), 1, answer.size(), stdout);
  std::fflush(stdout);
  return status;
}

}  // namespace varnoklis::explain
