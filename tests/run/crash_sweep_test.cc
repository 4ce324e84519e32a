// A run killed at any system call that touches its download file, the file's folder, a
// journal or a temporary file: the next run mends the path before it even connects, and the
// run after that writes the file as usual and leaves nothing behind. The kill points are taken
// from a trace of a clean run; the same trace shows the order of the syncs a power loss needs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <vector>

#include "builders/builder_store.h"
#include "run/run.h"
#include "support/e2e.h"

namespace varnoklis {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::write_file;

struct Scenario {
  const char* name;
  const char* mode;   // Param4
  bool unprivileged;  // the folder is read-only, which binds only other users than root
  const char* file;   // the file whose content is checked, below the working area
  std::vector<const char*> syncs;  // the order of the durable steps in the trace
};

const char kOld[] =
    "OLD CONTENT LONGER THAN THE NEW RECORDS, OLD CONTENT LONGER THAN THE NEW RECORDS, "
    "OLD CONTENT LONGER THAN THE NEW RECORDS, OLD CONTENT LONGER THAN THE NEW RECORDS";

// A replace: the new file synced, renamed, its folder synced.
const std::vector<const char*> kReplaced = {R"(^fsync\(\d+<.*/\.T01\.d\w\w\.varnoklis-\w{6}>)",
                                            R"(^rename\(".*\.varnoklis-\w{6}", ".*/T01\.d\w\w")",
                                            R"(^fsync\(\d+<.*/(out|target)>\))"};
// An in-place write or append: the journal durable in its folder before the first write.
const std::vector<const char*> kJournalled = {
    R"(^fsync\(\d+<.*journal\.varnoklis-\w{6}>)",
    R"(^rename\(".*journal\.varnoklis-\w{6}", ".*journal")",
    R"(^fsync\(\d+<.*/(out|state)>\))",
    R"(^(p?write|ftruncate)\(\d+<.*/out/T01\.dnl>)",
    R"(^fsync\(\d+<.*/out/T01\.dnl>)",
    R"(^unlink\(".*journal"\))"};

const Scenario kScenarios[] = {
    {"replace", "1", false, "out/T01.dnl", kReplaced},
    {"append", "0", false, "out/T01.dnl", kJournalled},
    {"symlink", "1", false, "target/T01.dat", kReplaced},
    {"hardlink", "1", false, "out/T01.dnl", kJournalled},
    {"readonly_folder", "1", true, "out/T01.dnl", kJournalled},
    {"first_run", "1", false, "out/T01.dnl", kReplaced},
};

class CrashSweep : public ::testing::TestWithParam<Scenario> {
 protected:
  CrashSweep() : work_(store_) {
    testing::seed_two_clients(store_);
    work_.open_to_unprivileged();
  }

  // Lays out the scenario's files afresh: the previous file holds kOld.
  void prepare() {
    const Scenario& s = GetParam();
    for (const char* folder : {"out", "target", "other"}) {
      fs::path dir = work_.root() / folder;
      if (fs::exists(dir)) fs::permissions(dir, fs::perms::all);
      fs::remove_all(dir);
      fs::create_directories(dir);
      fs::permissions(dir, fs::perms::all);
    }
    std::string name = s.name;
    if (name == "first_run") return;
    write_file(work_.root() / s.file, kOld);
    if (name == "symlink") fs::create_symlink("../target/T01.dat", path());
    if (name == "hardlink") fs::create_hard_link(path(), work_.root() / "other/T01.dnl");
    if (name == "readonly_folder") {
      fs::permissions(path(), fs::perms(0666));
      fs::permissions(work_.root() / "out", fs::perms(0555));
    }
  }

  std::string path() const { return work_.file("out/T01.dnl"); }
  std::string content() const { return read_file(work_.root() / GetParam().file); }

  testing::RunResult run(const std::string& wrapper) {
    work_.set_wrapper(wrapper);
    std::vector<std::string> args = {"QZDNL60P", "T01", path(), GetParam().mode};
    auto r = GetParam().unprivileged ? work_.run_unprivileged(args) : work_.run(args);
    work_.set_wrapper("");
    return r;
  }

  void connectable(bool yes) {
    work_.write_config({{"LOGIN", "operator"},
                        {"PASS", "secret"},
                        {"DATABASE", yes ? store_.dsn() : "NO_SUCH_SOURCE"},
                        {"SCHEMA", "KELVANIROX"}});
  }

  // Names that a finished run must not leave: temporary files and journals.
  std::vector<std::string> strays() const {
    std::vector<std::string> found;
    for (const char* folder : {"out", "target", "other", "state"}) {
      for (const auto& entry : fs::directory_iterator(work_.root() / folder)) {
        std::string name = entry.path().filename().string();
        if (name.find("varnoklis-") != std::string::npos || name.ends_with(".journal")) {
          found.push_back(entry.path().string());
        }
      }
    }
    return found;
  }

  testing::TempStore store_;
  testing::Workplace work_;
};

struct KillPoint {
  std::string call;
  int occurrence;
};

// Every call of the trace that names one of the scenario's folders, with its count among the
// calls of that name (what strace's when= counts).
std::vector<KillPoint> kill_points(const std::vector<std::string>& trace, const fs::path& root) {
  std::vector<KillPoint> points;
  std::map<std::string, int> seen;
  const std::regex call(R"(^(?:\d+ +)?([a-z_0-9]+)\()");
  for (const std::string& line : trace) {
    std::smatch m;
    if (!std::regex_search(line, m, call)) continue;
    int n = ++seen[m[1]];
    if (m[1] == "execve") continue;
    for (const char* folder : {"/out", "/target", "/other", "/state"}) {
      if (line.find((root.string() + folder)) != std::string::npos) {
        points.push_back({m[1], n});
        break;
      }
    }
  }
  return points;
}

TEST_P(CrashSweep, KilledAnywhereTheNextRunLeavesPreviousOrNew) {
  const Scenario& s = GetParam();
  const bool append = std::string(s.mode) == "0";
  // A first run leaves what every later run finds (lock files, the store's set-up), so that the
  // traced run counts its calls as the killed runs will.
  prepare();
  ASSERT_EQ(run("").status, kExitOk);
  prepare();
  const std::string previous = content();
  fs::path trace_file = work_.root() / "trace";
  auto reference = run("strace -f -y -qq -o " + testing::shell_quote(trace_file.string()));
  ASSERT_EQ(reference.status, kExitOk) << reference.output;
  const std::string fresh = content();
  const std::string records = append ? fresh.substr(previous.size()) : fresh;
  ASSERT_FALSE(records.empty());
  EXPECT_TRUE(strays().empty());

  std::vector<std::string> trace;
  std::ifstream in(trace_file);
  for (std::string line; std::getline(in, line);) {
    trace.push_back(std::regex_replace(line, std::regex(R"(^\d+ +)"), ""));
  }
  std::size_t at = 0;
  for (const char* step : s.syncs) {
    const std::regex pattern(step);
    while (at < trace.size() && !std::regex_search(trace[at], pattern)) ++at;
    EXPECT_LT(at, trace.size()) << "missing in order: " << step;
  }

  auto points = kill_points(trace, work_.root());
  int killed = 0;
  int previous_kept = 0;
  int new_found = 0;
  for (const KillPoint& point : points) {
    SCOPED_TRACE(point.call + ":when=" + std::to_string(point.occurrence));
    prepare();
    // The shell that sees the kill would report it; its report is not the run's output.
    auto r = run(
        "sh -c 'exec 2>/dev/null; \"$@\"; r=$?; exit $r' sh strace -f -qq -o /dev/null -e inject=" +
        point.call + ":signal=KILL:when=" + std::to_string(point.occurrence));
    if (r.status != kExitOk) ++killed;
    connectable(false);
    auto repair = run("");
    connectable(true);
    EXPECT_EQ(repair.status, kExitConnect) << repair.output;
    std::string mended = content();
    const std::string written = append ? previous + records : records;
    EXPECT_TRUE(mended == previous || mended == written) << "torn: " << mended.size() << " bytes";
    previous_kept += mended == previous;
    new_found += mended == written && mended != previous;
    auto clean = run("");
    EXPECT_EQ(clean.status, kExitOk) << clean.output;
    EXPECT_EQ(content(), append ? mended + records : records);
    EXPECT_EQ(strays(), std::vector<std::string>{});
    if (std::string(s.name) == "symlink") {
      EXPECT_TRUE(fs::is_symlink(path()));
    }
    if (std::string(s.name) == "hardlink") {
      EXPECT_EQ(fs::hard_link_count(path()), 2u);
    }
  }
  EXPECT_EQ(killed, static_cast<int>(points.size()));
  std::printf("crash sweep %s: %zu kill points, %d killed, %d kept the previous file, %d the new\n",
              s.name, points.size(), killed, previous_kept, new_found);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CrashSweep, ::testing::ValuesIn(kScenarios),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace varnoklis
