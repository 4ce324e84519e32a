#include "run/path_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "run/run.h"
#include "support/e2e.h"
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

// A journal that the program did not write is never followed; lock files are private to their
// account; a held lock is announced at once and waited for until the deadline; a wait or a
// database timeout that is not a whole number of seconds up to a day is a parameter error.
TEST(PathLock, UntrustedJournalDeadlineAndWaitSetting) {
  testing::TempStore store;
  testing::Workplace work(store);
  std::string path = work.file("t.dat"), journal = path + ".journal";
  auto run = [&](const std::string& wait, const std::string& name = "VARNOKLIS_LOCK_WAIT") {
    work.set_wrapper("env " + name + "='" + wait + "'");
    return work.run({"QZDNL60P", "T01", path, "1"});
  };
  testing::write_file(journal, "VARNOKLIS-JOURNAL 1 A 1 2 0 0\n");
  auto r = run("");
  EXPECT_EQ(r.status, kExitFileNotWritten);
  EXPECT_EQ(r.output, "Journal " + journal + " zu Downloadfile " + path + " ist ungueltig!\n");
  EXPECT_EQ(std::filesystem::status(path + ".lock").permissions(), std::filesystem::perms(0600));
  int held = ::open((path + ".lock").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  r = run("1");
  EXPECT_EQ(r.status, kExitFileNotWritten);
  EXPECT_EQ(r.output, "Downloadfile " + path +
                          " wird von einem anderen Lauf geschrieben, warte bis zu 1 Sekunden.\n"
                          "Downloadfile " +
                          path + " konnte nicht geoeffnet werden!\n");
  ::close(held);
  std::filesystem::remove(journal);
  for (std::string name :
       {"VARNOKLIS_LOCK_WAIT", "VARNOKLIS_LOGIN_TIMEOUT", "VARNOKLIS_QUERY_TIMEOUT"}) {
    for (std::string wait : {"-1", "86401", "1s", " 5"}) {
      r = run(wait, name);
      EXPECT_EQ(r.status, kExitUsage);
      EXPECT_EQ(r.output, name + " ungueltig (0 bis 86400 Sekunden): " + wait + "\n");
    }
    EXPECT_EQ(run("0", name).output.find("ungueltig"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace varnoklis
