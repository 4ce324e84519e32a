#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "batch/job_file.h"
#include "batch/outcome.h"

namespace varnoklis::batch {

/// What the scheduler calls: `run` on a worker thread (numbered from 0), `started` and `ended` one
/// at a time (under the scheduler's lock), `stopping` before each job is taken.
struct SchedulerHooks {
  std::function<JobResult(const Job&, std::size_t worker)> run;
  std::function<void(std::size_t job)> started;
  std::function<void(std::size_t job, const JobResult&)> ended;
  std::function<bool()> stopping;
};

/// Runs the jobs on `workers` threads, in file order as far as they can: jobs of one group never
/// overlap and start in file order. Once `stopping` says so, no job starts; those stay not run.
std::vector<JobResult> run_jobs(const std::vector<Job>& jobs, int workers,
                                const SchedulerHooks& hooks);

}  // namespace varnoklis::batch
