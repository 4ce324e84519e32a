#include "run/path_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/output.h"
#include "base/seconds_setting.h"
#include "db/text.h"
#include "run/journal.h"

namespace varnoklis {

namespace {

using Clock = std::chrono::steady_clock;

// The lock file `name`, made 0600 where missing, so that no other user can hold it; one that
// exists is used also when this user may only read it. Never a link, and never waited on: a FIFO
// or device under the name is refused. -1 with no object in `failure` when the file neither
// exists nor can be made, -1 with the reason when it exists but cannot be used.
int open_lock_file(const std::string& name, FileFailure& failure) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  FileDescriptor fd(::open(name.c_str(), O_RDWR | O_CREAT | kFlags, 0600));
  if (!fd.ok()) {
    int error = errno;
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0) {
      failure = {nullptr, name, error};
      return -1;
    }
    fd.reset(::open(name.c_str(), O_RDONLY | kFlags));
    if (!fd.ok()) return fail(failure, "Sperrdatei", name, errno == ENOENT ? EACCES : errno), -1;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return fail(failure, "Sperrdatei", name, errno), -1;
  if (!S_ISREG(info.st_mode)) return fail(failure, "Sperrdatei", name, kNotRegularFile), -1;
  return fd.release();
}

// In a folder without a lock file that the user cannot write, the download file itself carries
// the lock: such a file is never replaced (only overwritten or appended to), so every run for the
// path locks the same file. A FIFO is left alone, since opening it would stand in for a reader.
int open_download_file(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISFIFO(info.st_mode) || S_ISDIR(info.st_mode)) {
    return -1;
  }
  int flags = O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(path.c_str(), O_RDONLY | flags);
  if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | flags);
  return fd;
}

// The staging key as the database compares it: without regard to letter case or trailing blanks.
std::string key_lock_name(const std::string& state_folder, const std::string& key) {
  std::string name = state_folder + "/key-";
  for (unsigned char c : folded_key(key)) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", c);
    name += hex;
  }
  return name + ".lock";
}

std::string file_lock_name(const std::string& state_folder, const struct stat& info) {
  char name[96];
  std::snprintf(name, sizeof name, "/file-%ju-%ju.lock", std::uintmax_t{info.st_dev},
                std::uintmax_t{info.st_ino});
  return state_folder + name;
}

// Whether `fd` is still the file linked under `name`: a run that found the file of its lock gone
// removes the lock file before it lets go, and whoever waited on it takes the new one.
bool still_linked(int fd, const std::string& name) {
  struct stat held {};
  struct stat linked {};
  return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &linked) == 0 &&
         held.st_dev == linked.st_dev && held.st_ino == linked.st_ino;
}

}  // namespace

bool read_lock_settings(LockSettings& settings) {
  const char* dir = std::getenv("VARNOKLIS_STATE_DIR");
  if (dir != nullptr && *dir != '\0') settings.state_dir = dir;
  return read_seconds_setting("VARNOKLIS_LOCK_WAIT", settings.wait_seconds);
}

// How long a run waits for its locks, and whether it said so yet.
struct LockWait {
  Clock::time_point deadline;
  const std::string& path;
  int seconds;
  bool announced = false;
};

namespace {

// Polls rather than blocks, so that the deadline needs no signal and threads stay independent.
// False with no reason when the deadline passed.
bool lock_until(int fd, LockWait& wait, const std::string& name, FileFailure& failure) {
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return fail(failure, "Sperrdatei", name, errno);
    if (!wait.announced) {
      print("Downloadfile %s wird von einem anderen Lauf geschrieben, warte bis zu %d Sekunden.\n",
            wait.path.c_str(), wait.seconds);
      wait.announced = true;
    }
    Clock::time_point now = Clock::now();
    if (now >= wait.deadline) {
      failure = {};
      return false;
    }
    std::this_thread::sleep_for(
        std::min<Clock::duration>(wait.deadline - now, std::chrono::milliseconds(50)));
  }
}

}  // namespace

PathLock::~PathLock() {
  release();
}

PathLock::Taken PathLock::take(const std::string& name, LockWait& wait, FileDescriptor& fd) {
  for (;;) {
    fd.reset(open_lock_file(name, failure_));
    if (!fd.ok()) return failure_.object == nullptr ? Taken::Missing : Taken::Failed;
    if (!lock_until(fd.get(), wait, name, failure_)) return Taken::Failed;
    if (still_linked(fd.get(), name)) return Taken::Locked;
  }
}

bool PathLock::acquire(const std::string& path, const std::string& state_folder,
                       const LockSettings& settings) {
  release();
  failure_ = {};
  LockWait wait{Clock::now() + std::chrono::seconds(settings.wait_seconds), path,
                settings.wait_seconds};
  // Named after the file, so that runs through a symbolic link and through its target take turns.
  std::string beside = resolved_file(path) + ".lock";
  Held& own = held_.emplace_back();
  Taken taken = take(beside, wait, own.lock);
  if (taken == Taken::Missing) {
    own.lock.reset(open_download_file(path));
    // The lock file could not be made: the folder says why, unless the name itself is too long.
    if (!own.lock.ok() && failure_.error == ENAMETOOLONG) {
      return fail(failure_, "Sperrdatei", beside, ENAMETOOLONG);
    }
    if (!own.lock.ok()) return fail(failure_, "Ordner", folder_of(beside), failure_.error);
    if (!lock_until(own.lock.get(), wait, path, failure_)) return false;
  } else if (taken == Taken::Failed) {
    return false;
  } else {
    own.name = beside;
  }
  if (state_folder.empty()) return true;
  Held& key = held_.emplace_back();
  std::string key_name = key_lock_name(state_folder, path);
  if (take(key_name, wait, key.lock) == Taken::Failed) return false;
  // The file's own lock is taken last and again when the run it waited for replaced the file.
  struct stat locked {};
  for (;;) {
    FileDescriptor file(::open(path.c_str(), O_PATH | O_CLOEXEC));
    struct stat now {};
    if (!file.ok() || ::fstat(file.get(), &now) != 0 ||
        (now.st_dev == locked.st_dev && now.st_ino == locked.st_ino)) {
      return true;
    }
    Held& held = held_.emplace_back();
    held.name = file_lock_name(state_folder, now);
    if (take(held.name, wait, held.lock) == Taken::Failed) return false;
    held.file.reset(file.release());
    locked = now;
  }
}

// A lock of a file that no name reaches any more would stay for ever: it is removed while it is
// still held, and a run that waited on it notices (still_linked).
void PathLock::release() {
  for (Held& held : held_) {
    struct stat file {};
    if (held.lock.ok() && held.file.ok() && ::fstat(held.file.get(), &file) == 0 &&
        file.st_nlink == 0) {
      ::unlink(held.name.c_str());
    }
  }
  held_.clear();
}

bool take_download_path(const std::string& path, const LockSettings& settings, PathLock& lock,
                        std::string& state_folder) {
  state_folder = usable_state_folder(settings.state_dir);
  if (!lock.acquire(path, state_folder, settings)) {
    report_open_failure(path, lock.failure());
    return false;
  }
  return repair_download_file(path, state_folder);
}

}  // namespace varnoklis
