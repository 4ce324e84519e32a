#include "batch/batch.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/project_version.h"
#include "batch/batch_lock.h"
#include "batch/job_file.h"
#include "batch/job_run.h"
#include "batch/nights.h"
#include "batch/options.h"
#include "batch/outcome.h"
#include "batch/preflight.h"
#include "batch/scheduler.h"
#include "db/answer_memory.h"
#include "db/session.h"
#include "db/timeouts.h"
#include "run/journal.h"
#include "run/path_lock.h"

namespace varnoklis::batch {

namespace {

std::atomic<int> signals_received{0};

// The first signal lets the running jobs finish; a second one ends the process at once, which
// leaves every path as a killed single run would.
extern "C" void on_stop_signal(int) {
  if (signals_received.fetch_add(1) == 0) {
    static const char kNote[] = "varnoklis-batch: stopping; no new job starts\n";
    ssize_t ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
    (void)ignored;
    return;
  }
  _exit(kExitStopped);
}

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void write_out(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// On a terminal, standard error shows one line that is redrawn as jobs start and end.
class Progress {
 public:
  explicit Progress(const std::vector<Job>& jobs) : jobs_(jobs), shown_(::isatty(2) == 1) {}

  void started(std::size_t job) {
    running_ = job;
    draw();
  }
  void ended() {
    ++done_;
    draw();
  }
  void clear() const {
    if (shown_) std::fputs("\r\033[K", stderr);
  }

 private:
  void draw() const {
    if (!shown_) return;
    const Job& job = jobs_[running_];
    std::fprintf(stderr, "\r\033[K%zu of %zu jobs done; running L%04d %s %s", done_, jobs_.size(),
                 job.line, job.keyword.c_str(), job.terminal.c_str());
    std::fflush(stderr);
  }

  const std::vector<Job>& jobs_;
  bool shown_;
  std::size_t done_ = 0;
  std::size_t running_ = 0;
};

// The file's content; empty where it is missing or cannot be read.
std::string read_whole(const std::string& path) {
  std::string bytes;
  if (read_whole_file(path, bytes) != 0) bytes.clear();
  return bytes;
}

void complain(const std::string& message) {
  std::fprintf(stderr, "varnoklis-batch: %s\n", message.c_str());
}

// The metrics file as it was, with this batch's start, so that a night that starts and never
// ends shows; false when it could not be written.
bool write_start_metrics(const Options& options, std::time_t start) {
  std::string error;
  if (options.metrics.empty() ||
      write_atomically(options.metrics, start_metrics_text(read_whole(options.metrics), start),
                       0644, error)) {
    return true;
  }
  complain(error);
  return false;
}

// Writes the report and the metrics of a batch whose status, before they are written, is
// `batch.status`, and returns the status they leave.
int write_outputs(const Options& options, BatchRecord& batch, const std::vector<Job>& jobs,
                  const std::vector<JobResult>& outcomes, double seconds) {
  batch.end = std::time(nullptr);
  std::string error;
  if (!options.report.empty() &&
      !write_atomically(options.report, report_text(batch, jobs, outcomes), 0640, error)) {
    complain(error);
    batch.status = worse_status(batch.status, kExitFileNotWritten);
  }
  if (options.metrics.empty()) return batch.status;
  double last = batch.status == kExitOk ? static_cast<double>(batch.end)
                                        : previous_last_success(read_whole(options.metrics));
  // The textfile collector reads the file under its own account.
  if (!write_atomically(options.metrics, metrics_text(batch, jobs, outcomes, seconds, last), 0644,
                        error)) {
    complain(error);
    batch.status = worse_status(batch.status, kExitFileNotWritten);
  }
  return batch.status;
}

// Makes the night's log folder and lets go of the oldest; false when the logs have no folder.
bool open_night(const Options& options, BatchRecord& batch, bool& output_failed) {
  std::string error;
  batch.logs = make_night_folder(options.logs, batch.start, error);
  if (!error.empty()) {
    complain(error);
    output_failed = true;
  }
  if (batch.logs.empty()) return false;
  for (const std::string& message : prune_nights(options.logs, options.keep_nights, batch.logs)) {
    complain(message);
  }
  return true;
}

int run_jobs_of(const Options& options, BatchRecord& batch, const std::vector<Job>& jobs,
                bool output_failed, FaultHook& fault_hook) {
  auto start = std::chrono::steady_clock::now();
  std::vector<JobResult> outcomes(jobs.size());
  if (open_night(options, batch, output_failed)) {
    Progress progress(jobs);
    // Every worker keeps its connections for all of its jobs; all of them share one memory of
    // answers, dropped when the batch ends.
    AnswerMemory memory(options.memory_mib << 20);
    std::vector<std::unique_ptr<Session>> sessions;
    for (int i = 0; i < options.workers; ++i) {
      Session& session = *sessions.emplace_back(std::make_unique<Session>());
      session.seam().set_fault_hook(fault_hook);
      session.share_memory(memory);
    }
    SchedulerHooks hooks;
    hooks.run = [&](const Job& job, std::size_t worker) {
      return run_job(job, batch.logs, *sessions[worker], options.max_removed);
    };
    hooks.started = [&](std::size_t job) { progress.started(job); };
    hooks.ended = [&](std::size_t job, const JobResult& outcome) {
      progress.clear();
      write_out(summary_line(jobs[job], outcome));
      progress.ended();
    };
    hooks.stopping = [] { return signals_received.load() > 0; };
    outcomes = run_jobs(jobs, options.workers, hooks);
    progress.clear();
  }
  bool stopped = signals_received.load() > 0;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  batch.status = batch_status(outcomes, stopped, output_failed);
  int status = write_outputs(options, batch, jobs, outcomes, seconds);
  write_out(summary_end(jobs, outcomes, seconds, status));
  return status;
}

// Prints the messages of a bad job file; false when there are any.
bool job_file_ok(const JobFile& file) {
  for (const std::string& line : file.errors) std::fprintf(stderr, "%s\n", line.c_str());
  return file.errors.empty();
}

std::string host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// The batch once its options are checked: alone on its job file and log folder, it reads the
// job file and runs it.
int run_alone(const Options& options, const std::string& state_folder, FaultHook& fault_hook) {
  BatchLock lock;
  std::string refused;
  if (!lock.lock_job_file(options.job_file, state_folder, refused)) {
    complain(refused);
    return kExitRefused;
  }
  std::error_code error;
  std::filesystem::create_directories(options.logs, error);
  if (error) {
    complain("cannot create the log folder " + options.logs + ": " + error.message());
    return kExitUsage;
  }
  if (!lock.lock_logs(options.logs, state_folder, refused)) {
    complain(refused);
    return kExitRefused;
  }
  install_stop_handlers();
  BatchRecord batch{std::time(nullptr), 0, kExitOk, options.job_file, host_name(),
                    kProjectVersion,    {}};
  bool output_failed = !write_start_metrics(options, batch.start);
  JobFile file = read_job_file(options.job_file);
  if (!job_file_ok(file)) {
    batch.status = kExitUsage;
    return write_outputs(options, batch, {}, {}, 0);
  }
  return run_jobs_of(options, batch, file.jobs, output_failed, fault_hook);
}

// Like sshd -t: every problem the night would meet that can be seen beforehand, one per line.
int check_only(const Options& options, const std::vector<Job>& jobs) {
  bool failed = false;
  for (const Finding& finding : check_night(options, jobs)) {
    std::fprintf(stderr, "%s\n", finding.line.c_str());
    failed = failed || finding.problem;
  }
  if (failed) return kExitUsage;
  write_out("Job file " + options.job_file + ": " + std::to_string(jobs.size()) +
            " jobs, no errors.\n");
  return kExitOk;
}

}  // namespace

int run_batch(int argc, const char* const* argv, FaultHook fault_hook) {
  Options options;
  std::string error;
  if (!parse_options(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "varnoklis-batch: %s\nTry 'varnoklis-batch --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help || options.version) {
    write_out(options.help ? help_text()
                           : std::string("varnoklis-batch ") + kProjectVersion + "\n");
    return kExitOk;
  }
  // Every job reads the same settings; a wrong one is reported once, before any job runs.
  LockSettings settings;
  DatabaseTimeouts timeouts;
  if (!read_lock_settings(settings) || !read_database_timeouts(timeouts)) return kExitUsage;
  if (options.check) {
    JobFile file = read_job_file(options.job_file);
    if (!job_file_ok(file)) return kExitUsage;
    return check_only(options, file.jobs);
  }
  return run_alone(options, usable_state_folder(settings.state_dir), fault_hook);
}

}  // namespace varnoklis::batch
