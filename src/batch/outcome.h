#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "batch/job_file.h"
#include "run/run.h"

namespace varnoklis::batch {

/// How one job of the batch ended.
struct JobResult {
  bool ran = false;          ///< false: the batch was stopped before the job started
  int status = 0;            ///< the job's exit status, as the single run's
  RunCounts counts;          ///< what the run did
  double seconds = 0;        ///< wall time of the job
  bool log_written = false;  ///< the job's log was made and every message went into it whole
  std::time_t start = 0;     ///< when the job started and ended
  std::time_t end = 0;
};

/// What the report's first line says about the batch itself.
struct BatchRecord {
  std::time_t start = 0;
  std::time_t end = 0;
  int status = 0;
  std::string job_file;
  std::string host;
  std::string version;
  std::string logs;  ///< the night's log folder; empty when the batch ended before making it
};

/// How many jobs ended 0, ended otherwise, did not run, and were held back (status 8).
struct JobCounts {
  std::size_t ok = 0;
  std::size_t failed = 0;
  std::size_t not_run = 0;
  std::size_t held = 0;
};

/// The summary line of a job that ran: `L0042 QZDNL17P T01 PATH status=0 badges=.. records=..
/// seconds=1.23` with a line end.
std::string summary_line(const Job& job, const JobResult& outcome);

/// The total line and, in job order, one line per job that failed, was held back or did not run.
std::string summary_end(const std::vector<Job>& jobs, const std::vector<JobResult>& outcomes,
                        double seconds, int status);

/// The jobs' outcomes counted.
JobCounts count_jobs(const std::vector<JobResult>& outcomes);

/// Of two batch statuses, the one that wins: 1, 9, 6, 5, 4, 3, 2, 8, 7, 0 in this order.
int worse_status(int a, int b);

/// The batch's exit status from its jobs' outcomes; `stopped` when a signal ended it early and
/// `output_failed` when the report, the metrics or a folder of the logs could not be written (a
/// job's log that was not written whole counts the same).
int batch_status(const std::vector<JobResult>& outcomes, bool stopped, bool output_failed);

/// A time as RFC 3339 in local time with its offset: 2026-12-09T04:00:00+01:00.
std::string rfc3339(std::time_t time);

/// The report's line of one job, with its line end; a job that did not run has null status,
/// start, end and log_written.
std::string job_report_line(const Job& job, const JobResult& outcome);

/// The JSON Lines report: the batch's record, then one object per job.
std::string report_text(const BatchRecord& batch, const std::vector<Job>& jobs,
                        const std::vector<JobResult>& outcomes);

/// The Prometheus text of a finished batch; `last_success` is the time of the last batch that
/// ended 0, `seconds` the batch's wall time.
std::string metrics_text(const BatchRecord& batch, const std::vector<Job>& jobs,
                         const std::vector<JobResult>& outcomes, double seconds,
                         double last_success);

/// The metrics text written when a batch starts: the `previous` text with its last start set to
/// `start`.
std::string start_metrics_text(const std::string& previous, std::time_t start);

/// The last-success time recorded in an earlier metrics text; 0 when it holds none.
double previous_last_success(const std::string& metrics);

/// Replaces the file at `path` with `content` through a temporary file in the same folder, made
/// with `mode` and synced before the rename; false with `error` set when that failed.
bool write_atomically(const std::string& path, const std::string& content, unsigned mode,
                      std::string& error);

}  // namespace varnoklis::batch
