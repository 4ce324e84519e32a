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

// The lock file of a name: made 0600, so that no other user can hold it; one that exists is
// used also when this user may only read it. -1 with errno ENOENT when it neither exists nor
// can be made, any other -1 when it exists but cannot be opened.
int open_lock_file(const std::string& name) {
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  struct stat info {};
  if (::lstat(name.c_str(), &info) != 0) {
    errno = ENOENT;
    return -1;
  }
  fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) errno = EACCES;
  return fd;
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
std::string key_lock_name(const std::string& state_folder, std::string key) {
  upper_case(key);
  while (!key.empty() && key.back() == ' ') key.pop_back();
  std::string name = state_folder + "/key-";
  for (unsigned char c : key) {
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

// Polls rather than blocks, so that the deadline needs no signal and threads stay independent.
bool lock_until(int fd, Clock::time_point deadline, const std::string& path, int wait,
                bool& announced) {
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return false;
    if (!announced) {
      print("Downloadfile %s wird von einem anderen Lauf geschrieben, warte bis zu %d Sekunden.\n",
            path.c_str(), wait);
      announced = true;
    }
    Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(
        std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(50)));
  }
}

}  // namespace

bool read_lock_settings(LockSettings& settings) {
  const char* dir = std::getenv("VARNOKLIS_STATE_DIR");
  if (dir != nullptr && *dir != '\0') settings.state_dir = dir;
  return read_seconds_setting("VARNOKLIS_LOCK_WAIT", settings.wait_seconds);
}

bool PathLock::acquire(const std::string& path, const std::string& state_folder,
                       const LockSettings& settings) {
  held_.clear();
  held_.emplace_back(open_lock_file(path + ".lock"));
  if (!held_.back().ok() && errno == ENOENT) held_.back().reset(open_download_file(path));
  if (!held_.back().ok()) return false;
  if (!state_folder.empty()) {
    held_.emplace_back(open_lock_file(key_lock_name(state_folder, path)));
    if (!held_.back().ok() && errno != ENOENT) return false;
  }
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(settings.wait_seconds);
  bool announced = false;
  for (const FileDescriptor& fd : held_) {
    if (fd.ok() && !lock_until(fd.get(), deadline, path, settings.wait_seconds, announced)) {
      return false;
    }
  }
  // The file's own lock is taken last and again when the run it waited for replaced the file.
  struct stat locked {};
  struct stat now {};
  while (!state_folder.empty() && ::stat(path.c_str(), &now) == 0 &&
         (now.st_dev != locked.st_dev || now.st_ino != locked.st_ino)) {
    FileDescriptor file(open_lock_file(file_lock_name(state_folder, now)));
    if (!file.ok() && errno != ENOENT) return false;
    if (file.ok() && !lock_until(file.get(), deadline, path, settings.wait_seconds, announced)) {
      return false;
    }
    locked = now;
    held_.push_back(std::move(file));
  }
  return true;
}

bool take_download_path(const std::string& path, const LockSettings& settings, PathLock& lock,
                        std::string& state_folder) {
  state_folder = usable_state_folder(settings.state_dir);
  if (!lock.acquire(path, state_folder, settings)) {
    print("Downloadfile %s konnte nicht geoeffnet werden!\n", path.c_str());
    return false;
  }
  return repair_download_file(path, state_folder);
}

}  // namespace varnoklis
