#pragma once

#include <string>
#include <vector>

#include "batch/job_file.h"
#include "batch/options.h"

namespace varnoklis::batch {

/// One line of a night's check: "JOBFILE:LINE: reason" for a job, "varnoklis-batch: reason" for
/// the rest; a warning alone does not fail the check.
struct Finding {
  std::string line;
  bool problem = true;
};

/// Checks, as the running account and without writing or creating anything, what the night of
/// `jobs` will need: the configuration file and its four keys, each job's download file (or its
/// folder), lock files and journals, relative paths, the log, report, metrics and state folders;
/// with `options.connect` it also connects once (both connections) and disconnects.
std::vector<Finding> check_night(const Options& options, const std::vector<Job>& jobs);

}  // namespace varnoklis::batch
