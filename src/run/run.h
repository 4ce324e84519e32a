#pragma once

#include <cstdint>

#include "db/failure.h"
#include "db/session.h"

namespace varnoklis {

/// Exit status of a run.
enum ExitStatus : int {
  kExitOk = 0,        ///< the file holds every record the run built
  kExitUsage = 1,     ///< missing, over-long or unknown parameters; nothing done
  kExitConnect = 2,   ///< configuration unusable or connect failed; nothing done
  kExitDatabase = 3,  ///< terminal unchecked, staging not cleared or read back, no client list
  kExitFileNotWritten = 4,  ///< the download file could not be written; file untouched
  kExitRecordsMissing = 5,  ///< file written, but a read or insert failed: records may be wrong
};

/// Prints the usage text of the command line (the lines after the parameter count).
void print_usage_text();

/// What one run did, for a caller that runs many and reports on each.
struct RunCounts {
  std::uint64_t badges = 0;      ///< badges read over every client
  std::uint64_t records = 0;     ///< records the download file received (0 when none written)
  std::uint64_t statements = 0;  ///< statements sent
  std::uint64_t remembered = 0;  ///< statements answered from memory
};

/// Runs the whole sequence for the command line and returns the exit status. `fault_hook` is the
/// test seam that makes chosen statements fail; the program itself never sets it. `counts`, when
/// given, receives what the run did.
int run(int argc, const char* const* argv, FaultHook fault_hook = {}, RunCounts* counts = nullptr);

/// Runs the whole sequence for the command line on `session`, which may hold the connections of
/// an earlier run: they are used when the configuration names the same credentials and they
/// still work, and opened anew otherwise. Messages, statements and the file are a fresh run's.
/// The caller ends the run on the session (`Session::end_run`) before the next one.
int run_job(int argc, const char* const* argv, Session& session, RunCounts* counts = nullptr);

}  // namespace varnoklis
