// varnoklis-explain: why a badge can (not) pass a terminal, from the code that builds its file.
#pragma once

#include <string>
#include <vector>

namespace varnoklis::explain {

/// Exit statuses of varnoklis-explain.
inline constexpr int kExplained = 0;    ///< answered
inline constexpr int kBadRequest = 1;   ///< wrong arguments, unknown keyword or terminal
inline constexpr int kNoConnect = 2;    ///< configuration unusable or connect failed
inline constexpr int kReadFailed = 3;   ///< a statement or fetch failed; answered anyway
inline constexpr int kFileProblem = 4;  ///< the --file could not be read or has another layout

/// The names of the reasons a badge is not selected, in the order they are checked.
inline constexpr const char* kReasons[] = {"no_badge",        "other_client", "client_not_visited",
                                           "validity",        "badge_status", "no_location",
                                           "location_status", "unexplained"};

/// Runs `varnoklis-explain KEYWORD TERMINAL BADGE [--file PATH] [--json]` (arguments after the
/// program name): the answer on standard output, every run message on standard error.
int run_explain(const std::vector<std::string>& args);

}  // namespace varnoklis::explain
