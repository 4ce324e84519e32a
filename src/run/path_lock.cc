#include "run/path_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace varnoklis {

PathLock::~PathLock() {
  // Closing the descriptor releases the lock; the lock file stays for the next run.
  if (fd_ >= 0) ::close(fd_);
}

bool PathLock::acquire(const std::string& path) {
  std::string name = path + ".lock";
  fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) return false;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace varnoklis
