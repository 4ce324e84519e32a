#pragma once

#include "base/exit_status.h"
#include "db/failure.h"

namespace varnoklis::batch {

/// Runs the batch for the command line and returns its exit status. `fault_hook` is the test
/// seam given to every job's run; the program itself never sets it.
int run_batch(int argc, const char* const* argv, FaultHook fault_hook = {});

}  // namespace varnoklis::batch
