// A run killed at any call (from a traced clean run) that touches the download file, its folder,
// a journal or a temporary file: the next run, though it cannot connect and names the file through
// its other name where it has one, leaves the previous or the new file; the run after it writes as
// usual and leaves no stray file. The trace also shows the order of the syncs that a power loss
// needs.
#include <gtest/gtest.h>

#include <cstdlib>
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

struct Scenario {
  std::string name, mode, file;       // file: the one whose content is checked
  bool journalled;                    // written in place or appended, else replaced
  std::string setup;                  // shell commands in the working area; OLD: the old content
  std::string other = "out/T01.dnl";  // the name the repairing run gives the file
  bool held = false;                  // the new file removes every old badge: held back at 50 %
};

void PrintTo(const Scenario& s, std::ostream* out) {
  *out << s.name;
}

class CrashSweep : public ::testing::TestWithParam<Scenario> {};

TEST_P(CrashSweep, KilledAnywhereTheNextRunLeavesPreviousOrNew) {
  const Scenario& s = GetParam();
  // The leak checker of a sanitizer build cannot run under a tracer; the other checks still do.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string kept = asan != nullptr ? asan : "";
  setenv("ASAN_OPTIONS", (kept + ":detect_leaks=0").c_str(), 1);
  if (s.held) setenv("VARNOKLIS_MAX_REMOVED", "50", 1);
  struct Unset {
    ~Unset() { unsetenv("VARNOKLIS_MAX_REMOVED"); }
  } unset;
  const int done = s.held ? kExitHeld : kExitOk;
  testing::TempStore store;
  testing::seed_two_clients(store);
  testing::Workplace work(store);
  work.open_to_unprivileged();
  const std::string root = work.root().string(), path = work.file("out/T01.dnl");
  auto in_work = [&](const std::string& commands) {
    return testing::run_command("cd " + root + " && " + commands).output;
  };
  // The old content is longer than the new records, so that a stale tail would show.
  auto prepare = [&] {
    in_work(
        "chmod -f 777 out; rm -rf out target other; mkdir -m 777 out target other; "
        "OLD=$(printf %300s | tr ' ' O); " +
        s.setup);
  };
  auto content = [&] { return testing::read_file(work.root() / s.file); };
  const fs::path held = work.root() / "out/.T01.dnl.varnoklis-held";
  auto held_content = [&] { return fs::exists(held) ? testing::read_file(held) : "none"; };
  auto run = [&](const std::string& wrapper, bool connectable = true) {
    work.write_config(
        {{"DATABASE", connectable ? store.dsn() : "NO_SUCH_SOURCE"}, {"SCHEMA", "KELVANIROX"}});
    work.set_wrapper(wrapper);
    std::vector<std::string> args = {"QZDNL60P", "T01", connectable ? path : work.file(s.other),
                                     s.mode};
    return s.name == "readonly_folder" ? work.run_unprivileged(args) : work.run(args);
  };
  // A first run leaves what later runs find, so the traced run counts its calls as they will.
  prepare();
  ASSERT_EQ(run("").status, done);
  prepare();
  const std::string previous = content(), trace_file = work.file("trace");
  ASSERT_EQ(run("strace -f -y -qq -o " + trace_file).status, done);
  const std::string written = content(), held_records = held_content();
  const std::string records = s.mode == "0" ? written.substr(previous.size()) : written;
  std::vector<std::string> syncs = {R"(^fsync\(\d+<.*/\.T01\.d..\.varnoklis-\w{6}>)",
                                    R"(^rename\(".*\.varnoklis-\w{6}", ".*/T01\.d..")",
                                    R"(^fsync\(\d+<.*/(out|target)>\))"};
  if (s.held) syncs[1] = R"(^rename\(".*\.varnoklis-\w{6}", ".*/\.T01\.dnl\.varnoklis-held")";
  if (s.journalled) {
    syncs = {R"(^fsync\(\d+<.*journal\.varnoklis-\w{6}>)",
             R"(^rename\(".*", ".*journal")",
             R"(^fsync\(\d+<.*/(out|state)>\))",
             R"(^(p?write|ftruncate)\(\d+<.*/(out/T01\.dnl|target/T01\.dat)>)",
             R"(^fsync\(\d+<.*/(out/T01\.dnl|target/T01\.dat)>)",
             R"(^unlink\(".*journal"\))"};
  }
  std::vector<std::pair<std::string, int>> points;  // call and its count, as strace's when= counts
  std::map<std::string, int> seen;
  std::ifstream in(trace_file);
  auto sync = syncs.begin();
  const std::regex touched(root + "/(out|target|other|state)\\b"),
      call_name(R"(^(?:\d+ +)?([a-z_0-9]+)\()");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, call_name)) continue;
    const std::string call = m[1];
    int n = ++seen[call];
    line = line.substr(m.position(1));
    if (sync != syncs.end() && std::regex_search(line, std::regex(*sync))) ++sync;
    if (call != "execve" && std::regex_search(line, touched)) {
      points.emplace_back(call, n);
    }
  }
  EXPECT_TRUE(sync == syncs.end()) << "out of order or missing: " << *sync;

  std::map<std::string, int> outcomes;  // killed, then what the repair left: previous, new, bad
  for (const auto& [call, n] : points) {
    SCOPED_TRACE(call + ":when=" + std::to_string(n));
    prepare();
    // The shell that sees the kill would report it on standard error.
    outcomes["killed"] += run("sh -c 'exec 2>/dev/null; \"$@\"; exit $?' sh strace -f -qq -o "
                              "/dev/null -e inject=" +
                              call + ":signal=KILL:when=" + std::to_string(n))
                              .status == 128 + 9;
    EXPECT_EQ(run("", false).status, kExitConnect);
    std::string mended = content();
    const char* left = mended == previous ? "previous" : mended == written ? "new" : "bad";
    EXPECT_STRNE(left, "bad") << mended.size() << " bytes";
    ++outcomes[left];
    EXPECT_TRUE(!s.held || held_content() == "none" || held_content() == held_records);
    EXPECT_EQ(run("").status, done);
    EXPECT_EQ(content(), s.held ? previous : s.mode == "0" ? mended + records : records);
    EXPECT_EQ(held_content(), s.held ? held_records : "none");
    EXPECT_EQ(in_work("find out target other state -name '*varnoklis-*' ! -name '*varnoklis-held' "
                      "-o -name '*.journal'"),
              "");
    EXPECT_EQ(fs::is_symlink(path), s.name.starts_with("symlink"));
    EXPECT_EQ(fs::hard_link_count(path), s.name == "hardlink" ? 2u : 1u);
  }
  EXPECT_EQ(outcomes["killed"], static_cast<int>(points.size()));
  std::printf("crash sweep %s: %zu kill points, %d killed, %d previous, %d new, %d bad\n",
              s.name.c_str(), points.size(), outcomes["killed"], outcomes["previous"],
              outcomes["new"], outcomes["bad"]);
}

// A killed run never reaches the sanitizers' leak checker, and the other end-to-end tests cover
// every path of the sanitizer build: there, replace and append stand for the rest.
std::vector<Scenario> scenarios() {
  std::vector<Scenario> all = {
      {"replace", "1", "out/T01.dnl", false, "echo -n $OLD >out/T01.dnl"},
      {"append", "0", "out/T01.dnl", true, "echo -n $OLD >out/T01.dnl"},
      {"symlink", "1", "target/T01.dat", false,
       "echo -n $OLD >target/T01.dat; ln -s ../target/T01.dat out/T01.dnl", "target/T01.dat"},
      {"symlink_append", "0", "target/T01.dat", true,
       "echo -n $OLD >target/T01.dat; ln -s ../target/T01.dat out/T01.dnl", "target/T01.dat"},
      {"hardlink", "1", "out/T01.dnl", true,
       "echo -n $OLD >out/T01.dnl; ln out/T01.dnl other/T01.dnl", "other/T01.dnl"},
      {"readonly_folder", "1", "out/T01.dnl", true,
       "echo -n $OLD >out/T01.dnl; chmod 666 out/T01.dnl; chmod 555 out"},
      {"first_run", "1", "out/T01.dnl", false, "true"},
      {"held", "1", "out/T01.dnl", false,
       "for i in $(seq 10 34); do printf %-45s X$i; done >out/T01.dnl", "out/T01.dnl", true}};
#ifdef __SANITIZE_ADDRESS__
  all.resize(2);
#endif
  return all;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CrashSweep, ::testing::ValuesIn(scenarios()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace varnoklis
