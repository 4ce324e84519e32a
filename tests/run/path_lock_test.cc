#include "run/path_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "builders/builder_store.h"
#include "run/journal.h"
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

  // The state folder's lock of a file that a replace did away with goes with the lock.
  std::string state = (dir.path() / "state").string(), lock_of_file;
  ASSERT_EQ(::mkdir(state.c_str(), 0700), 0);
  testing::write_file(path, "old");
  {
    PathLock held;
    ASSERT_TRUE(held.acquire(path, state));
    struct stat info {};
    ::stat(path.c_str(), &info);
    lock_of_file = state + "/file-" + std::to_string(info.st_dev) + "-" +
                   std::to_string(info.st_ino) + ".lock";
    EXPECT_TRUE(locked(lock_of_file));
    testing::write_file(path + ".new", "new");
    std::filesystem::rename(path + ".new", path);
  }
  EXPECT_FALSE(std::filesystem::exists(lock_of_file));
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

// A journal names its file beyond device and inode: one whose file is gone, though another file
// got its inode, is removed with a line and the run goes on; one of its file is applied. With and
// without birth times; a version-1 journal (no birth time, no name) by device and inode alone.
TEST(PathLock, AJournalRepairsOnlyItsOwnFile) {
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  namespace fs = std::filesystem;
  fs::create_directories(work.state_dir());
  const std::string path = work.file("d/T01.dnl"), old(2702, 'B');
  auto state_journal = [&](const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return std::string();
    return (work.state_dir() / ("file-" + std::to_string(info.st_dev) + "-" +
                                std::to_string(info.st_ino) + ".journal"))
        .string();
  };
  // An append journal of `file` saying that it held 768 bytes, as a killed run leaves it.
  auto journal_of = [&](const std::string& file, const std::string& name) {
    int fd = ::open(file.c_str(), O_RDONLY);
    FileFailure failure;
    EXPECT_TRUE(write_journal(name, fd, file, -1, 768, failure));
    ::close(fd);
  };
  auto run = [&] {
    return work.run_faulty("", work.root() / "stats", {"QZDNL60P", "T01", path, "0"});
  };
  auto gone_line = [&](const std::string& journal) {
    return "Journal " + journal + " zu Downloadfile " + path +
           " gehoert zu keiner vorhandenen Datei mehr, entfernt.\n";
  };
  for (bool born : {true, false}) {
    SCOPED_TRACE(born ? "birth times" : "no birth times");
    ignore_birth_times(!born);
    work.set_wrapper(born ? "" : "env VARNOKLIS_NO_BIRTH_TIME=1");
    fs::remove_all(work.root() / "d");
    fs::create_directories(work.root() / "d");
    // The other file is removed, and files are made until one gets its inode.
    const std::string other = work.file("d/other");
    testing::write_file(other, old);
    const std::string journal = state_journal(other);
    journal_of(other, journal);
    fs::remove(other);
    for (int i = 0; i < 50 && state_journal(path) != journal; ++i) {
      if (fs::exists(path)) fs::rename(path, work.file("d/spare" + std::to_string(i)));
      testing::write_file(path, old);
    }
    if (state_journal(path) != journal) GTEST_SKIP() << "the file system gave no inode again";
    auto r = run();
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_TRUE(r.output.starts_with(gone_line(journal))) << r.output;
    EXPECT_EQ(testing::read_file(path).find_first_not_of('B'), old.size());
    EXPECT_FALSE(fs::exists(journal));

    testing::write_file(path, old);
    journal_of(path, state_journal(path));
    r = run();
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.output.find("Journal"), std::string::npos) << r.output;
    EXPECT_EQ(testing::read_file(path).find_first_not_of('B'), 768u);
  }
  ignore_birth_times(false);
  work.set_wrapper("");
  // Version 1, as earlier versions wrote it beside the path as given.
  auto version_1 = [&](bool own) {
    testing::write_file(path, old);
    struct stat info {};
    ::stat(path.c_str(), &info);
    char fields[128];
    std::snprintf(fields, sizeof fields, "VARNOKLIS-JOURNAL 1 A %ju %ju 768",
                  std::uintmax_t{info.st_dev}, std::uintmax_t{info.st_ino + (own ? 0 : 1)});
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char* c = fields; *c != '\0'; ++c) {
      hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ULL;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s %016" PRIx64 "\n", fields, hash);
    testing::write_file(path + ".journal", line);
  };
  version_1(true);
  auto r = run();
  EXPECT_EQ(r.output.find("Journal"), std::string::npos) << r.output;
  EXPECT_EQ(testing::read_file(path).find_first_not_of('B'), 768u);
  version_1(false);
  r = run();
  EXPECT_TRUE(r.output.starts_with(gone_line(path + ".journal"))) << r.output;
  EXPECT_EQ(testing::read_file(path).find_first_not_of('B'), old.size());
}

// Every file failure names the object and the system's reason after the kept line: a FIFO
// where a lock file or a journal belongs (refused at once, never waited on), a folder the
// account cannot write, a lock file that another account left, a full disk.
TEST(PathLock, FileFailuresSayWhy) {
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  namespace fs = std::filesystem;
  const std::string reference = work.file("reference.dat");
  const std::string records = work.run({"QZDNL60P", "T01", reference, "1"}).output;
  work.open_to_unprivileged();
  const std::string path = work.file("t.dat"), folder = work.file("ro"), full = work.file("full");
  auto sh = [&](const std::string& commands) {
    return testing::run_command("cd " + work.root().string() + " && " + commands).output;
  };
  auto open_failure = [&](const std::string& at, const std::string& reason) {
    return "Downloadfile " + at + " konnte nicht geoeffnet werden!\n  " + reason + "\n";
  };
  struct Case {
    std::string setup, path, mode, wrapper, output;
    bool as_root = false;       // the cause can only be made as root
    bool unprivileged = false;  // and the run is another account's
  };
  std::vector<Case> cases = {
      {"mkfifo t.dat.lock", path, "1", "",
       open_failure(path, "Sperrdatei " + path + ".lock: not a regular file")},
      {"mkfifo t.dat.journal", path, "1", "",
       open_failure(path, "Journal " + path + ".journal: not a regular file")},
      {"mkdir -m 555 ro", folder + "/t.dat", "1", "",
       open_failure(folder + "/t.dat",
                    "Ordner " + folder + ": Permission denied (Eigentuemer root)"),
       true, true},
      {"touch t.dat.lock; chmod 600 t.dat.lock", path, "1", "",
       open_failure(path, "Sperrdatei " + path + ".lock: Permission denied (Eigentuemer root)"),
       true, true},
      {"mkdir full", full + "/t.dat", "0",
       "unshare -m sh -c 'mount -t tmpfs -o size=64k none " + full + " && echo OLD >" + full +
           "/t.dat && (cat /dev/zero >" + full + "/fill) 2>/dev/null; exec \"$@\"' sh",
       records + "Downloadfile " + full + "/t.dat konnte nicht geschrieben werden!\n  Ordner " +
           full + ": No space left on device\n",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setup);
    if (c.as_root && !testing::running_as_root()) {
      std::printf("skipped, needs root: %s\n", c.setup.c_str());
      continue;
    }
    sh("rm -rf t.dat* ro full; " + c.setup);
    work.set_wrapper("env VARNOKLIS_LOCK_WAIT=2 " + c.wrapper);
    auto r = c.unprivileged ? work.run_unprivileged({"QZDNL60P", "T01", c.path, c.mode})
                            : work.run({"QZDNL60P", "T01", c.path, c.mode});
    EXPECT_EQ(r.status, kExitFileNotWritten);
    EXPECT_EQ(r.output, c.output);
  }
}

}  // namespace
}  // namespace varnoklis
