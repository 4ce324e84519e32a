#pragma once

#include <string>
#include <vector>

#include "batch/job_file.h"
#include "run/run.h"

namespace varnoklis::batch {

/// How one job of the batch ended.
struct Outcome {
  bool ran = false;    ///< false: the batch was stopped before the job started
  int status = 0;      ///< the job's exit status, as the single run's
  RunCounts counts;    ///< what the run did
  double seconds = 0;  ///< wall time of the job
};

/// The summary line of a job that ran: `L0042 QZDNL17P T01 PATH status=0 badges=.. records=..
/// seconds=1.23` with a line end.
std::string summary_line(const Job& job, const Outcome& outcome);

/// The total line and, in job order, one line per job that failed or did not run.
std::string summary_end(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes,
                        double seconds, int status);

/// The batch's exit status from its jobs' outcomes; `stopped` when a signal ended it early and
/// `output_failed` when the report or metrics file could not be written.
int batch_status(const std::vector<Outcome>& outcomes, bool stopped, bool output_failed);

/// The JSON Lines report: one object per job, not-run jobs with a null status.
std::string report_text(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes);

/// The Prometheus text of the batch; `last_success` is the time of the last batch that ended 0.
std::string metrics_text(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes,
                         double seconds, double last_success);

/// The last-success time recorded in an earlier metrics text; 0 when it holds none.
double previous_last_success(const std::string& metrics);

/// Replaces the file at `path` with `content` through a temporary file in the same folder, made
/// with `mode` and synced before the rename; false with `error` set when that failed.
bool write_atomically(const std::string& path, const std::string& content, unsigned mode,
                      std::string& error);

}  // namespace varnoklis::batch
