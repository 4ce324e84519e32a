#include "batch/batch.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/project_version.h"
#include "batch/job_file.h"
#include "batch/job_run.h"
#include "batch/options.h"
#include "batch/outcome.h"
#include "batch/scheduler.h"
#include "db/answer_memory.h"
#include "db/session.h"

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

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes the report and the metrics; false when one of them could not be written.
bool write_outputs(const Options& options, const std::vector<Job>& jobs,
                   const std::vector<Outcome>& outcomes, double seconds, bool stopped) {
  bool written = true;
  std::string error;
  if (!options.report.empty() &&
      !write_atomically(options.report, report_text(jobs, outcomes), 0640, error)) {
    std::fprintf(stderr, "varnoklis-batch: %s\n", error.c_str());
    written = false;
  }
  if (options.metrics.empty()) return written;
  bool success = batch_status(outcomes, stopped, !written) == 0;
  double last = success ? static_cast<double>(std::time(nullptr))
                        : previous_last_success(read_whole(options.metrics));
  // The textfile collector reads the file under its own account.
  if (!write_atomically(options.metrics, metrics_text(jobs, outcomes, seconds, last), 0644,
                        error)) {
    std::fprintf(stderr, "varnoklis-batch: %s\n", error.c_str());
    written = false;
  }
  return written;
}

int run_jobs_of(const Options& options, const std::vector<Job>& jobs, FaultHook& fault_hook) {
  std::error_code error;
  std::filesystem::create_directories(options.logs, error);
  if (error) {
    std::fprintf(stderr, "varnoklis-batch: cannot create the log folder %s: %s\n",
                 options.logs.c_str(), error.message().c_str());
    return 1;
  }
  install_stop_handlers();
  auto start = std::chrono::steady_clock::now();
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
    return run_job(job, options.logs, *sessions[worker]);
  };
  hooks.started = [&](std::size_t job) { progress.started(job); };
  hooks.ended = [&](std::size_t job, const Outcome& outcome) {
    progress.clear();
    write_out(summary_line(jobs[job], outcome));
    progress.ended();
  };
  hooks.stopping = [] { return signals_received.load() > 0; };
  std::vector<Outcome> outcomes = run_jobs(jobs, options.workers, hooks);
  progress.clear();
  bool stopped = signals_received.load() > 0;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  bool written = write_outputs(options, jobs, outcomes, seconds, stopped);
  int status = batch_status(outcomes, stopped, !written);
  write_out(summary_end(jobs, outcomes, seconds, status));
  return status;
}

}  // namespace

int run_batch(int argc, const char* const* argv, FaultHook fault_hook) {
  Options options;
  std::string error;
  if (!parse_options(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "varnoklis-batch: %s\nTry 'varnoklis-batch --help'.\n", error.c_str());
    return 1;
  }
  if (options.help || options.version) {
    write_out(options.help ? help_text()
                           : std::string("varnoklis-batch ") + kProjectVersion + "\n");
    return 0;
  }
  JobFile file = read_job_file(options.job_file);
  for (const std::string& line : file.errors) std::fprintf(stderr, "%s\n", line.c_str());
  if (!file.errors.empty()) return 1;
  if (options.check) {
    write_out("Job file " + options.job_file + ": " + std::to_string(file.jobs.size()) +
              " jobs, no errors.\n");
    return 0;
  }
  return run_jobs_of(options, file.jobs, fault_hook);
}

}  // namespace varnoklis::batch
