#include "batch/scheduler.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace varnoklis::batch {

namespace {

class Queue {
 public:
  Queue(const std::vector<Job>& jobs, const SchedulerHooks& hooks)
      : jobs_(jobs), hooks_(hooks), outcomes_(jobs.size()), started_(jobs.size()) {}

  void work(std::size_t worker) {
    std::size_t job = 0;
    while (take(job)) {
      JobResult outcome = hooks_.run(jobs_[job], worker);
      finish(job, outcome);
    }
  }

  std::vector<JobResult> outcomes() { return std::move(outcomes_); }

 private:
  // The first job not yet started whose group is free; false when none will ever be.
  bool take(std::size_t& job) {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (hooks_.stopping()) return false;
      bool waiting = false;
      while (next_ < jobs_.size() && started_[next_]) ++next_;
      for (std::size_t i = next_; i < jobs_.size(); ++i) {
        if (started_[i]) continue;
        waiting = true;
        if (busy_.count(jobs_[i].group) != 0) continue;
        started_[i] = true;
        busy_.insert(jobs_[i].group);
        job = i;
        hooks_.started(i);
        return true;
      }
      if (!waiting) return false;
      changed_.wait(lock);
    }
  }

  void finish(std::size_t job, const JobResult& outcome) {
    std::lock_guard lock(mutex_);
    outcomes_[job] = outcome;
    busy_.erase(jobs_[job].group);
    hooks_.ended(job, outcome);
    changed_.notify_all();
  }

  const std::vector<Job>& jobs_;
  const SchedulerHooks& hooks_;
  std::vector<JobResult> outcomes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<int> busy_;
  std::vector<bool> started_;
  std::size_t next_ = 0;  // every job before it has started
};

}  // namespace

std::vector<JobResult> run_jobs(const std::vector<Job>& jobs, int workers,
                                const SchedulerHooks& hooks) {
  Queue queue(jobs, hooks);
  std::vector<std::thread> threads;
  for (int i = 0; i < workers; ++i) {
    threads.emplace_back([&queue, i] { queue.work(static_cast<std::size_t>(i)); });
  }
  for (std::thread& thread : threads) thread.join();
  return queue.outcomes();
}

}  // namespace varnoklis::batch
