#include "run/path_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace varnoklis {

namespace {

int open_lock_file(const std::string& name) {
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
  // A lock file that another user made may be open to reading only; that is enough for flock.
  if (fd < 0) fd = ::open(name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
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

}  // namespace

PathLock::~PathLock() {
  // Closing the descriptor releases the lock; the lock file stays for the next run.
  if (fd_ >= 0) ::close(fd_);
}

bool PathLock::acquire(const std::string& path) {
  fd_ = open_lock_file(path + ".lock");
  if (fd_ < 0) fd_ = open_download_file(path);
  if (fd_ < 0) return false;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace varnoklis
