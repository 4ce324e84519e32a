#pragma once

#include <string>

#include "batch/job_file.h"
#include "batch/outcome.h"
#include "db/session.h"

namespace varnoklis::batch {

/// Runs one job as the single run with its four parameters on the worker's `session`, its
/// messages going to a fresh log file in `logs`. A log that cannot be created ends the job with
/// status 4; one that cannot be created or written whole is named on standard error.
JobResult run_job(const Job& job, const std::string& logs, Session& session, int max_removed);

}  // namespace varnoklis::batch
