// The operator tool varnoklis-show: reads download files and compares two of them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "show/text.h"

namespace varnoklis::show {

/// Exit statuses, as those of diff.
inline constexpr int kShowSame = 0;       ///< shown, or the files hold the same records
inline constexpr int kShowDifferent = 1;  ///< the files differ, or the badge asked for is not there
inline constexpr int kShowTrouble = 2;    ///< wrong arguments or a file that cannot be read

/// Runs `varnoklis-show KEYWORD FILE [--badge NUMBER]` or
/// `varnoklis-show --diff KEYWORD OLD NEW [--badge NUMBER]` (arguments after the program name).
/// Writes to `out` only after every file was read; problems go to `err`.
int run_show(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             Encoding encoding);

}  // namespace varnoklis::show
