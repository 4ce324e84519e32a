#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "config/cipher.h"
#include "config/config_file.h"
#include "config/ini_writer.h"

namespace varnoklis::config {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kTool = VARNOKLIS_BINARY_DIR "/varnoklis-ini ";

class IniTool : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("varnoklis-ini-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "kelvaniro.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Arguments go to the shell as written; the tests quote them themselves.
  RunResult run(const std::string& args) { return run_shell(kTool + args); }

  // Runs a shell pipeline; its last command's standard output and error are caught.
  RunResult run_shell(const std::string& pipeline) {
    std::string command =
        "{ " + pipeline + "; } >" + (dir_ / "out").string() + " 2>" + (dir_ / "err").string();
    int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_all(dir_ / "out");
    result.err = read_all(dir_ / "err");
    return result;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(IniTool, SetListShowRoundTrip) {
  EXPECT_EQ(run(file_ + " set LOGIN sa").status, 0);
  EXPECT_EQ(run(file_ + " set PASS 'pa;ss wort'").status, 0);
  EXPECT_EQ(run(file_ + " set SCHEMA ''").status, 0);
  EXPECT_EQ(read_all(file_), "#;LOGIN;\r\n1;LOGIN;" + encipher("sa") + "\r\n#;PASS;\r\n2;PASS;" +
                                 encipher("pa;ss wort") + "\r\n#;SCHEMA;\r\n3;SCHEMA;\r\n");
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  RunResult list = run(file_ + " list");
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "LOGIN\nPASS\nSCHEMA\n");
  RunResult show = run(file_ + " show PASS");
  EXPECT_EQ(show.status, 0);
  EXPECT_EQ(show.out, "pa;ss wort\n");

  ConfigValue schema = read_config_value(file_, "", "SCHEMA", 0);
  EXPECT_EQ(schema.status, ConfigStatus::Found);
  EXPECT_EQ(schema.value, "");
}

TEST_F(IniTool, SetReplacesOnlyItsEntry) {
  std::ofstream(file_, std::ios::binary) << "[Anmeldung];LOGIN;x\n17;LOGIN;" << encipher("alt")
                                         << "\n#;PASS;\n18;PASS;" << encipher("pw") << "\n\n";
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // Rewritten by root, the file still belongs to the account that runs the job.
  bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(file_.c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(run(file_ + " set LOGIN neu").status, 0);
  EXPECT_EQ(run(file_ + " set DATABASE KVX").status, 0);
  EXPECT_EQ(read_all(file_), "[Anmeldung];LOGIN;x\r\n17;LOGIN;" + encipher("neu") +
                                 "\r\n#;PASS;\r\n18;PASS;" + encipher("pw") +
                                 "\r\n#;DATABASE;\r\n19;DATABASE;" + encipher("KVX") + "\r\n");
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  struct stat owner {};
  ASSERT_EQ(::stat(file_.c_str(), &owner), 0);
  if (root) {
    EXPECT_EQ(owner.st_uid, 65534u);
  }
  EXPECT_EQ(run(file_ + " show LOGIN").out, "neu\n");
  EXPECT_EQ(run(file_ + " show PASS").out, "pw\n");
}

// The installs that share a file through a symbolic or a hard link all read the new value: the
// link's target is written, the links stay links, a dangling link gets its target.
TEST_F(IniTool, SetWritesTheFileThatLinksShare) {
  fs::create_directories(dir_ / "etc");
  std::string shared = (dir_ / "etc" / "shared.ini").string();
  EXPECT_EQ(run(shared + " set PASS alt").status, 0);
  fs::create_symlink(shared, dir_ / "sym.ini");
  fs::create_hard_link(shared, dir_ / "hard.ini");
  fs::create_symlink(dir_ / "etc" / "new.ini", dir_ / "dangling.ini");
  for (const char* name : {"sym.ini", "hard.ini", "dangling.ini"}) {
    std::string link = (dir_ / name).string();
    EXPECT_EQ(run(link + " set PASS " + name).status, 0) << name;
    EXPECT_EQ(run(link + " show PASS").out, std::string(name) + "\n");
  }
  EXPECT_EQ(run(shared + " show PASS").out, "hard.ini\n");
  EXPECT_TRUE(fs::is_symlink(dir_ / "sym.ini") && fs::is_symlink(dir_ / "dangling.ini"));
  EXPECT_EQ(fs::hard_link_count(shared), 2u);
  EXPECT_EQ(run((dir_ / "etc" / "new.ini").string() + " show PASS").out, "dangling.ini\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "etc"), {}), 2) << "no temporary left";
}

// The new file reaches the disk before its rename, and the rename before the tool ends.
TEST_F(IniTool, SetSyncsTheFileThenItsFolder) {
  if (std::system("command -v strace >/dev/null") != 0) GTEST_SKIP() << "no strace";
  std::string trace = (dir_ / "trace").string();
  // The leak checker of a sanitizer build cannot run under a tracer; the other checks still do.
  ASSERT_EQ(run_shell("ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" strace -y -qq -e "
                      "trace=fsync,rename -o " +
                      trace + " " + kTool + file_ + " set LOGIN sa")
                .status,
            0);
  std::string calls = read_all(trace);
  std::size_t file = calls.find("<" + file_ + ".");
  std::size_t rename = calls.find("rename(\"" + file_ + ".", file);
  std::size_t folder = calls.find("<" + dir_.string() + ">) = 0", rename);
  EXPECT_TRUE(file != std::string::npos && rename != std::string::npos &&
              folder != std::string::npos)
      << calls;
  EXPECT_EQ(run(file_ + " show LOGIN").out, "sa\n");
}

TEST_F(IniTool, RefusesWhatTheReaderWouldNotFind) {
  // Number 0 answers every lookup of the program, so a later entry could never be read.
  std::string shadowing = "#;A;\n0;OTHER;" + encipher("x") + "\n";
  std::ofstream(file_, std::ios::binary) << shadowing;
  RunResult shadowed = run(file_ + " set LOGIN sa");
  EXPECT_EQ(shadowed.status, 1);
  EXPECT_EQ(shadowed.err,
            "varnoklis-ini: " + file_ +
                ": LOGIN would not read back: an entry above it answers the lookup first\n");
  EXPECT_EQ(read_all(file_), shadowing);

  std::ofstream(file_, std::ios::binary) << "#;A;\n";
  EXPECT_EQ(run(file_ + " set LOGIN sa").status, 1);
  EXPECT_EQ(run(file_ + " set LOGIN " + std::string(97, 'v')).status, 2);
  EXPECT_EQ(read_all(file_), "#;A;\n");
}

TEST_F(IniTool, UsageAndMissingKeys) {
  RunResult bare = run("");
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.err.rfind("usage: varnoklis-ini FILE set KEY VALUE", 0), 0u);
  RunResult help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, bare.err);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(run(file_ + " frob").status, 2);
  EXPECT_EQ(run(file_ + " show").status, 2);
  EXPECT_EQ(run(file_ + " set 'A;B' v").status, 2);
  EXPECT_FALSE(fs::exists(file_));

  RunResult no_file = run(file_ + " show LOGIN");
  EXPECT_EQ(no_file.status, 1);
  EXPECT_EQ(no_file.err, "varnoklis-ini: cannot read " + file_ + "\n");
  ASSERT_EQ(run(file_ + " set LOGIN sa").status, 0);
  RunResult missing = run(file_ + " show PASS");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "varnoklis-ini: PASS: no entry in " + file_ + "\n");
}

// What the run could not use is refused before anything is written: a value longer than the run
// takes (its limit named), a key no program reads (unless --force), a key spelt in another case.
TEST_F(IniTool, RefusesWhatTheRunWouldNotUse) {
  const std::string prefix = "varnoklis-ini: no program reads the key ";
  const struct {
    std::string args;
    std::string err;
  } refusals[] = {
      {"set PASS " + std::string(24, 'p'),
       "varnoklis-ini: PASS takes at most 23 characters, as the run reads it; nothing written\n"},
      {"set SCHEMA " + std::string(22, 's'),
       "varnoklis-ini: SCHEMA takes at most 21 characters, as the run reads it; nothing written\n"},
      {"set pass x", prefix + "pass; it is spelt PASS\n"},
      {"set --force Schema x", prefix + "Schema; it is spelt SCHEMA\n"},
      {"set FOO bar",
       prefix + "FOO (LOGIN, PASS, DATABASE, SCHEMA); --force writes it all the same\n"},
      {"set FOO </dev/null",
       prefix + "FOO (LOGIN, PASS, DATABASE, SCHEMA); --force writes it all the same\n"},
  };
  for (const auto& refusal : refusals) {
    RunResult result = run(file_ + " " + refusal.args);
    EXPECT_EQ(result.status, 2) << refusal.args;
    EXPECT_EQ(result.err, refusal.err) << refusal.args;
  }
  EXPECT_FALSE(fs::exists(file_));

  EXPECT_EQ(run(file_ + " set DATABASE " + std::string(23, 'd')).status, 0);
  EXPECT_EQ(run(file_ + " set SCHEMA " + std::string(21, 's')).status, 0);
  EXPECT_EQ(run(file_ + " set --force FOO bar").status, 0);
  EXPECT_EQ(run(file_ + " list").out, "DATABASE\nSCHEMA\nFOO\n");
}

// Typed on a terminal the value is not echoed; from a pipe it is one line, its CR LF dropped.
TEST_F(IniTool, SetReadsTheValueFromStandardInput) {
  RunResult piped = run_shell("printf 'pa;ss wort\\r\\nrest\\n' | " + kTool + file_ + " set PASS");
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
  EXPECT_EQ(run(file_ + " show PASS").out, "pa;ss wort\n");
  EXPECT_EQ(run(file_ + " set LOGIN </dev/null").err,
            "varnoklis-ini: no value on standard input\n");

  // The value arrives only after the tool has had time to turn the echo off.
  RunResult typed = run_shell("(sleep 1; printf 'geheim\\n') | script -qec '" + kTool + file_ +
                              " set PASS' /dev/null");
  EXPECT_EQ(typed.out, "PASS: \r\n");
  EXPECT_EQ(typed.status, 0);
  EXPECT_EQ(run(file_ + " show PASS").out, "geheim\n");
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace varnoklis::config
