// What a replace keeps of the file it replaces (root:daemon 0640 with an ACL and an attribute),
// and names planted in a sticky folder by another user, which the kernel's fs.protected_*
// settings refuse to root: a link to a root file, a dangling link, a file of that user.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::run_command;

TEST(Destination, ReplaceKeepsOwnershipAndRootFollowsNoPlantedLink) {
  if (!testing::running_as_root()) GTEST_SKIP() << "changing groups and fs.protected_* needs root";
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  work.open_to_unprivileged();
  std::string path = work.file("T01.dnl");
  testing::write_file(path, "OLD");
  ASSERT_EQ(
      run_command("chown root:daemon " + path + " && chmod 0640 " + path +
                  " && setfattr -n user.site -v north " + path + " && setfacl -m u:65534:r " + path)
          .status,
      0);
  const std::string acl = run_command("getfacl -cpn " + path).output;
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  auto r = work.run({"QZDNL60P", "T01", path, "1"});
  EXPECT_EQ(r.status, kExitOk);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not written in place";
  EXPECT_EQ(after.st_gid, 1u);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(run_command("getfacl -cpn " + path).output, acl);
  EXPECT_EQ(run_command("getfattr --absolute-names --only-values -n user.site " + path).output, "north");
  EXPECT_NE(read_file(path), "OLD");

  const std::string old = run_command(
                              "sysctl -n fs.protected_symlinks fs.protected_regular "
                              "fs.protected_fifos | paste -sd' '")
                              .output;
  if (run_command("sysctl -qw fs.protected_symlinks=1 fs.protected_regular=1 "
                  "fs.protected_fifos=1")
          .status != 0) {
    GTEST_SKIP() << "fs.protected_* cannot be set here";
  }
  std::string sticky = work.file("sticky");
  run_command("mkdir -m 1777 " + sticky + " && setpriv --reuid=65534 --regid=65534 " +
              "--clear-groups sh -c 'ln -s " + path + " " + sticky + "/T1 && ln -s " +
              work.file("made") + " " + sticky + "/T2 && echo theirs >" + sticky + "/T3'");
  const std::string written = read_file(path);
  for (std::string name : {"/T1", "/T2", "/T3"}) {
    for (const char* mode : {"1", "0"}) {
      r = work.run({"QZDNL60P", "T01", sticky + name, mode});
      EXPECT_EQ(r.status, kExitFileNotWritten) << name << mode;
      EXPECT_TRUE(r.output.ends_with("Downloadfile " + sticky + name +
                                     " konnte nicht geoeffnet werden!\n"));
    }
  }
  std::istringstream values(old);
  std::string symlinks, regular, fifos;
  values >> symlinks >> regular >> fifos;
  run_command("sysctl -qw fs.protected_symlinks=" + symlinks + " fs.protected_regular=" + regular +
              " fs.protected_fifos=" + fifos);
  EXPECT_EQ(read_file(path), written);
  EXPECT_FALSE(std::filesystem::exists(work.file("made")));
  EXPECT_EQ(read_file(sticky + "/T3"), "theirs\n");
}

}  // namespace
}  // namespace varnoklis
