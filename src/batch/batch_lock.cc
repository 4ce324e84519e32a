#include "batch/batch_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace varnoklis::batch {

namespace {

std::string lock_name(const std::string& state_folder, const char* what, const struct stat& info) {
  char name[96];
  std::snprintf(name, sizeof name, "/batch-%s-%ju-%ju.lock", what, std::uintmax_t{info.st_dev},
                std::uintmax_t{info.st_ino});
  return state_folder + name;
}

// A lock file made 0600 (a descriptor opened only for reading could hold it too) and, when root
// makes it, given to the owner of its folder, so that the service's account can open it later.
int open_lock(const std::string& name, const std::string& folder, std::string& error) {
  int fd =
      ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    ::close(fd);
    fd = -1;
    errno = EINVAL;
  }
  struct stat owner {};
  if (fd >= 0 && ::geteuid() == 0 && ::stat(folder.c_str(), &owner) == 0 &&
      (info.st_uid != owner.st_uid || info.st_gid != owner.st_gid) &&
      ::fchown(fd, owner.st_uid, owner.st_gid) != 0) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) error = "cannot open the lock " + name + ": " + std::strerror(errno);
  return fd;
}

// The process id the holder wrote; it writes it right after taking the lock, so an empty file
// is read again for a moment.
std::string holder(int fd) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    char text[32] = {};
    ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    std::string pid(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
    if (!pid.empty()) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return "?";
}

// Takes the lock at `name` for `what` ("is running JOBFILE"); false with `error` set.
bool take(const std::string& name, const std::string& folder, const std::string& what,
          FileDescriptor& held, std::string& error) {
  held.reset(open_lock(name, folder, error));
  if (!held.ok()) return false;
  while (::flock(held.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    error = errno == EWOULDBLOCK ? "another batch (process " + holder(held.get()) + ") " + what
                                 : "cannot lock " + name + ": " + std::strerror(errno);
    return false;
  }
  std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(held.get(), 0) != 0 ||
      ::pwrite(held.get(), pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    error = "cannot write " + name + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool BatchLock::lock_job_file(const std::string& job_file, const std::string& state_folder,
                              std::string& error) {
  struct stat jobs {};
  // A job file that cannot be found is named by its reading, right after the locks.
  return state_folder.empty() || ::stat(job_file.c_str(), &jobs) != 0 ||
         take(lock_name(state_folder, "jobs", jobs), state_folder, "is running " + job_file,
              held_.emplace_back(), error);
}

bool BatchLock::lock_logs(const std::string& logs, const std::string& state_folder,
                          std::string& error) {
  if (state_folder.empty()) {
    return take(logs + "/.varnoklis-batch.lock", logs, "is writing into " + logs,
                held_.emplace_back(), error);
  }
  struct stat folder {};
  if (::stat(logs.c_str(), &folder) != 0) {
    error = "cannot open the log folder " + logs + ": " + std::strerror(errno);
    return false;
  }
  return take(lock_name(state_folder, "logs", folder), state_folder, "is writing into " + logs,
              held_.emplace_back(), error);
}

}  // namespace varnoklis::batch
