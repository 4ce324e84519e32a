#include "run/path_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/temp_store.h"

namespace varnoklis {
namespace {

// Whether another open of `file` finds it locked.
bool locked(const std::string& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK);
  bool busy = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (fd >= 0) ::close(fd);
  return busy;
}

// Where no lock file can be made beside the path (here: a name with no room for the suffix, which
// even root cannot create), the download file itself carries the lock; a missing file or a FIFO
// cannot.
TEST(PathLock, LockFileBesideElseTheDownloadFileItself) {
  testing::TempDir dir;
  std::string path = (dir.path() / "t.dat").string();
  {
    PathLock lock;
    ASSERT_TRUE(lock.acquire(path));
    EXPECT_TRUE(locked(path + ".lock"));
  }
  EXPECT_FALSE(locked(path + ".lock"));

  std::string full = (dir.path() / std::string(252, 'n')).string();
  EXPECT_FALSE(PathLock().acquire(full));
  testing::write_file(full, "");
  PathLock lock;
  ASSERT_TRUE(lock.acquire(full));
  EXPECT_TRUE(locked(full));
  std::string fifo = (dir.path() / std::string(252, 'f')).string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(PathLock().acquire(fifo));
}

}  // namespace
}  // namespace varnoklis
