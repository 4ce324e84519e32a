#include "batch/job_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "base/output.h"

namespace varnoklis::batch {

namespace {

constexpr mode_t kLogMode = 0640;

// The log of the previous batch is removed rather than truncated, so the new one gets its own
// mode and owner, and a link put in its place is not followed.
std::FILE* create_log(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return nullptr;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kLogMode);
  if (fd < 0) return nullptr;
  std::FILE* log = ::fchmod(fd, kLogMode) == 0 ? ::fdopen(fd, "w") : nullptr;
  if (log == nullptr) ::close(fd);
  return log;
}

}  // namespace

JobResult run_job(const Job& job, const std::string& logs, Session& session, int max_removed) {
  auto start = std::chrono::steady_clock::now();
  JobResult outcome;
  outcome.ran = true;
  outcome.start = std::time(nullptr);
  std::string log_path = (std::filesystem::path(logs) / log_name(job)).string();
  std::FILE* log = create_log(log_path);
  if (log == nullptr) {
    std::fprintf(stderr, "varnoklis-batch: cannot create the log %s: %s\n", log_path.c_str(),
                 std::strerror(errno));
    outcome.status = kExitFileNotWritten;
  } else {
    const char* argv[] = {"varnoklis",      job.keyword.c_str(), job.terminal.c_str(),
                          job.path.c_str(), job.mode.c_str(),    nullptr};
    set_thread_output(log);
    outcome.status = varnoklis::run_job(5, argv, session, &outcome.counts, max_removed);
    session.end_run();
    // Every message was flushed as it was printed; the first that failed names the reason.
    int error = thread_output_error();
    set_thread_output(nullptr);
    if (std::fclose(log) != 0 && error == 0) error = errno;
    outcome.log_written = error == 0;
    if (error != 0) {
      std::fprintf(stderr, "varnoklis-batch: cannot write the log %s: %s\n", log_path.c_str(),
                   std::strerror(error));
    }
  }
  outcome.end = std::time(nullptr);
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return outcome;
}

}  // namespace varnoklis::batch
