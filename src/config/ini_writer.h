// Operator tool for the configuration file: writes, lists and shows enciphered entries.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace varnoklis::config {

/// Exit status of the operator tool for a failed read, write or lookup.
inline constexpr int kIniFailure = 1;
/// Exit status of the operator tool for wrong arguments.
inline constexpr int kIniUsage = 2;

/// Returns decoded configuration text with KEY's entry value replaced (or a new entry appended),
/// with CR LF line ends; false and a message in `error` when the result would not read back.
bool set_config_entry(std::string_view text, std::string_view key, std::string_view value,
                      std::string& updated, std::string& error);
/// Runs `varnoklis-ini FILE set [--force] KEY [VALUE] | list | show KEY` (arguments after the
/// program name); a key the run does not read, or a value longer than it takes, is refused.
int run_ini_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace varnoklis::config
