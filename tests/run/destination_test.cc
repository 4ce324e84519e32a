// What a replace keeps of the file it replaces, and the links the kernel would refuse to follow.
#include "run/destination.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_command;
using testing::shell_quote;
using testing::write_file;

TEST(Destination, ReplaceKeepsGroupModeAclAndAttributes) {
  if (!testing::running_as_root()) GTEST_SKIP() << "giving a file to another group needs root";
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  std::string path = work.file("T01.dnl");
  write_file(path, "OLD");
  ASSERT_EQ(::chown(path.c_str(), 0, 1), 0);  // root:daemon
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::setxattr(path.c_str(), "user.site", "north", 5, 0), 0);
  ASSERT_EQ(run_command("setfacl -m u:65534:r " + shell_quote(path)).status, 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  auto r = work.run({"QZDNL60P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk) << r.output;
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not written in place";
  EXPECT_EQ(after.st_uid, 0u);
  EXPECT_EQ(after.st_gid, 1u);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  char value[8] = {};
  EXPECT_EQ(::getxattr(path.c_str(), "user.site", value, sizeof value), 5);
  EXPECT_STREQ(value, "north");
  EXPECT_NE(run_command("getfacl -cpn " + shell_quote(path)).output.find("user:65534:r--"),
            std::string::npos);
  EXPECT_NE(read_file(path), "OLD");
}

// Sets the kernel's link protections to 1 while it lives, and back afterwards.
class Protections {
 public:
  Protections() {
    for (const char* name : kNames) {
      std::ifstream in(std::string("/proc/sys/fs/") + name);
      std::string old;
      in >> old;
      saved_.push_back(old);
      ok_ = set(name, "1") && ok_;
    }
  }
  ~Protections() {
    for (std::size_t i = 0; i < saved_.size(); ++i) set(kNames[i], saved_[i]);
  }
  bool ok() const { return ok_; }

 private:
  static bool set(const char* name, const std::string& value) {
    std::ofstream out(std::string("/proc/sys/fs/") + name);
    out << value << "\n";
    out.close();
    return static_cast<bool>(out);
  }
  static constexpr const char* kNames[] = {"protected_symlinks", "protected_regular",
                                           "protected_fifos"};
  std::vector<std::string> saved_;
  bool ok_ = true;
};

// In a sticky, world-writable folder, names planted by another user are refused to root as the
// kernel refuses `echo x > name`: a link to a root file, a dangling link, a file of that user.
TEST(Destination, PlantedNamesInStickyFolderAreRefusedAsTheKernelRefusesThem) {
  if (!testing::running_as_root()) GTEST_SKIP() << "setting fs.protected_* needs root";
  Protections protections;
  if (!protections.ok()) GTEST_SKIP() << "fs.protected_* cannot be set here";
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  work.open_to_unprivileged();
  fs::path sticky = work.root() / "sticky";
  fs::create_directories(sticky);
  fs::permissions(sticky, fs::perms(01777));
  std::string secret = work.file("secret");
  write_file(secret, "ROOT");
  auto plant = [&](const std::string& command) {
    ASSERT_EQ(run_command("setpriv --reuid=65534 --regid=65534 --clear-groups sh -c " +
                          shell_quote(command))
                  .status,
              0);
  };
  plant("ln -s " + shell_quote(secret) + " " + shell_quote((sticky / "T01.dnl").string()));
  plant("ln -s " + shell_quote(work.file("made")) + " " +
        shell_quote((sticky / "T02.dnl").string()));
  plant("echo theirs > " + shell_quote((sticky / "T03.dnl").string()));
  for (const char* name : {"T01.dnl", "T02.dnl", "T03.dnl"}) {
    for (const char* mode : {"1", "0"}) {
      std::string path = (sticky / name).string();
      SCOPED_TRACE(path + " mode " + mode);
      auto r = work.run({"QZDNL60P", "T01", path, mode});
      EXPECT_EQ(r.status, kExitFileNotWritten);
      EXPECT_TRUE(r.output.ends_with("Downloadfile " + path + " konnte nicht geoeffnet werden!\n"))
          << r.output;
    }
  }
  EXPECT_EQ(read_file(secret), "ROOT");
  EXPECT_FALSE(fs::exists(work.file("made")));
  EXPECT_EQ(read_file(sticky / "T03.dnl"), "theirs\n");
}

}  // namespace
}  // namespace varnoklis
