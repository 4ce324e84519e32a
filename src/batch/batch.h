#pragma once

#include "db/failure.h"

namespace varnoklis::batch {

/// Batch exit status beyond a job's: stopped by a signal before every job ran.
inline constexpr int kExitStopped = 6;
/// Batch exit status beyond a job's: a job ended 1 (an unknown terminal), all others 0.
inline constexpr int kExitJobRefused = 7;
/// Batch exit status beyond a job's: another batch runs the job file or writes the log folder.
inline constexpr int kExitRefused = 9;

/// Runs the batch for the command line and returns its exit status. `fault_hook` is the test
/// seam given to every job's run; the program itself never sets it.
int run_batch(int argc, const char* const* argv, FaultHook fault_hook = {});

}  // namespace varnoklis::batch
