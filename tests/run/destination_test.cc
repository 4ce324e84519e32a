// What a replace keeps of the file it replaces (root:daemon 0640 with an ACL and an attribute),
// and names planted in a sticky folder by another user, which the kernel's fs.protected_*
// settings refuse to root: a link to a root file, a dangling link, a file of that user.
#include <gtest/gtest.h>

#include <regex>

#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

TEST(Destination, ReplaceKeepsOwnershipAndRootFollowsNoPlantedLink) {
  if (!testing::running_as_root()) GTEST_SKIP() << "changing groups and fs.protected_* needs root";
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  work.open_to_unprivileged();
  auto sh = [&](const std::string& commands) {
    return testing::run_command("cd " + work.root().string() + " && " + commands).output;
  };
  const std::string kept = "stat -c '%U:%G %a' T1; getfacl -cpn T1; getfattr -d T1; ";
  sh("echo OLD >T1; chown root:daemon T1; chmod 640 T1; setfattr -n user.site -v north T1; "
     "setfacl -m u:65534:r T1");
  const std::string before = sh(kept), inode = sh("stat -c %i T1");
  EXPECT_EQ(work.run({"QZDNL60P", "T01", work.file("T1"), "1"}).status, kExitOk);
  EXPECT_EQ(sh(kept), before);
  EXPECT_NE(sh("stat -c %i T1"), inode) << "replaced, not written in place";
  EXPECT_NE(sh("cat T1"), "OLD\n");

  const std::string names = "fs.protected_symlinks fs.protected_regular fs.protected_fifos";
  const std::string old = sh("sysctl " + names + " | tr -d ' '");
  if (testing::run_command("sysctl -qw $(echo " + names + " | sed 's/ \\|$/=1 /g')").status != 0) {
    GTEST_SKIP() << "fs.protected_* cannot be set here";
  }
  sh("mkdir -m 1777 s; setpriv --reuid=65534 --regid=65534 --clear-groups sh -c "
     "'ln -s ../T1 s/L1; ln -s ../made s/L2; echo theirs >s/F'");
  const std::string written = sh("cat T1");
  for (std::string name : {"s/L1", "s/L2", "s/F"}) {
    auto r = work.run({"QZDNL60P", "T01", work.file(name), name == "s/F" ? "0" : "1"});
    EXPECT_EQ(r.status, kExitFileNotWritten) << name;
    EXPECT_TRUE(r.output.ends_with("Downloadfile " + work.file(name) +
                                   " konnte nicht geoeffnet werden!\n  Datei " + work.file(name) +
                                   ": Permission denied (Eigentuemer nobody)\n"))
        << r.output;
  }
  sh("sysctl -qw " + std::regex_replace(old, std::regex("\n"), " "));
  EXPECT_EQ(sh("cat T1 s/F; test -e made && echo made"), written + "theirs\n");
}

}  // namespace
}  // namespace varnoklis
