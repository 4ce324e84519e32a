#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/exit_status.h"
#include "db/failure.h"
#include "db/session.h"

namespace varnoklis {

/// Prints the usage text of the command line (the lines after the parameter count).
void print_usage_text();

/// What one run did, for a caller that runs many and reports on each.
struct RunCounts {
  std::uint64_t badges = 0;      ///< badges read over every client
  std::uint64_t records = 0;     ///< records the download file received (0 when none written)
  std::uint64_t statements = 0;  ///< statements sent
  std::uint64_t remembered = 0;  ///< statements answered from memory
  bool compared = false;         ///< the new file was compared with the one it replaces
  std::uint64_t added = 0;       ///< badges only in the new file (when compared)
  std::uint64_t removed = 0;     ///< badges only in the old file (when compared)
  std::uint64_t changed = 0;     ///< badges in both whose records differ (when compared)
  std::uint64_t previous = 0;    ///< distinct badges of the old file (when compared)
  bool held = false;             ///< the new file was held back
  std::string held_file{};       ///< where the held file was kept; empty when none
};

/// A removal limit in percent from its text: digits only, 0 to 100; none otherwise.
std::optional<int> parse_removal_limit(std::string_view text);

/// Runs the whole sequence for the command line and returns the exit status. `fault_hook` is the
/// test seam that makes chosen statements fail; the program itself never sets it. `counts`, when
/// given, receives what the run did.
int run_download(int argc, const char* const* argv, FaultHook fault_hook = {},
                 RunCounts* counts = nullptr);

/// Runs the whole sequence for the command line on `session`, which may hold the connections of
/// an earlier run: they are used when the configuration names the same credentials and they
/// still work, and opened anew otherwise. Messages, statements and the file are a fresh run's.
/// The caller ends the run on the session (`Session::end_run`) before the next one.
/// `max_removed` is the removal limit in percent; none given: `VARNOKLIS_MAX_REMOVED`, if set.
int run_job(int argc, const char* const* argv, Session& session, RunCounts* counts = nullptr,
            std::optional<int> max_removed = std::nullopt);

}  // namespace varnoklis
