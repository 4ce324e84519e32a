#pragma once

#include <string>

#include "batch/job_file.h"
#include "batch/outcome.h"
#include "db/session.h"

namespace varnoklis::batch {

/// Runs one job as the single run with its four parameters on the worker's `session`, its
/// messages going to a fresh log file in `logs`; a log that cannot be created ends the job with
/// status 4 and a message on standard error.
Outcome run_job(const Job& job, const std::string& logs, Session& session);

}  // namespace varnoklis::batch
