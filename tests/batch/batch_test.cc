#include "batch/batch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <set>
#include <thread>

#include "batch/options.h"
#include "batch/outcome.h"
#include "support/e2e.h"

namespace varnoklis::batch {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::RunResult;
using testing::shell_quote;
using testing::TempStore;
using testing::Workplace;
using testing::write_file;

using testing::load_demo;

// The batch in the working folder, standard error joined to standard output; `prefix` goes
// before the program (an exec, a variable).
std::string batch_command(const TempStore& store, const Workplace& work,
                          const std::vector<std::string>& arguments, const std::string& prefix = "",
                          const std::string& program = "varnoklis-batch") {
  std::string command = "cd " + shell_quote(work.cwd().string()) +
                        " && export LC_ALL=C ODBCINI=" + shell_quote(store.odbc_ini().string()) +
                        " VARNOKLIS_STATE_DIR=" + shell_quote(work.state_dir().string()) +
                        " ODBCSYSINI=" + shell_quote(store.odbc_ini().parent_path().string()) +
                        "; " + prefix + shell_quote(VARNOKLIS_BINARY_DIR "/" + program);
  for (const std::string& argument : arguments) command += " " + shell_quote(argument);
  return command + " 2>&1";
}

std::vector<std::vector<std::string>> parse_jobs(const std::string& text) {
  std::vector<std::vector<std::string>> jobs;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<std::string> job(4);
    fields >> job[0] >> job[1] >> job[2] >> job[3];
    jobs.push_back(job);
  }
  return jobs;
}

// Every file and log of a batch, at -j 1 and -j 3, is the single run's; a job that cannot write
// its file fails alone, and the report and metrics say what the summary says. The jobs share
// their answers: three workers ask no more than one, and one sends fewer statements than the
// single runs.
TEST(Batch, JobsGiveWhatSingleRunsGive) {
  TempStore store;
  load_demo(store);
  Workplace work(store);
  std::string jobs;
  for (const char* terminal : {"T01", "T02", "T03"}) {
    for (const char* keyword : {"QZDNL17P", "qzdnl18p", "QZDNL31P", "QZDNL60P", "IDSTAMM"}) {
      jobs += std::string(keyword) + " " + terminal + "\t" + work.file(terminal) + keyword + " 1\n";
    }
  }
  jobs += "# appended to the first file, spelled as the staging key folds it\n" +
          jobs.substr(0, 9) + "T02 " + work.file("t01QZDNL17P") + " 0\n" + "IDSTAMM T01 " +
          work.root().string() + "/missing/x.dat 1\n";
  write_file(work.cwd() / "jobs", jobs);
  std::vector<std::vector<std::string>> listed = parse_jobs(jobs);
  listed.erase(listed.begin() + 15);

  // A job equals a single run with the batch's default removal limit set.
  std::map<std::string, std::string> single;
  setenv("VARNOKLIS_MAX_REMOVED", "50", 1);
  for (const auto& job : listed) {
    RunResult r = work.run(job);
    single[job[2]] += std::to_string(r.status) + "\n" + r.output;
  }
  unsetenv("VARNOKLIS_MAX_REMOVED");
  for (const auto& job : listed) single[job[2]] += read_file(job[2]);
  std::map<std::string, std::uint64_t> statements;
  for (const auto& job : listed) {
    work.run_faulty("", work.cwd() / "stats", job);
    std::string stats = read_file(work.cwd() / "stats");
    statements["single"] += std::stoull(stats.substr(stats.find("statements: ") + 12));
  }

  for (const char* workers : {"1", "3"}) {
    SCOPED_TRACE(workers);
    for (const auto& job : listed) fs::remove(job[2]);
    RunResult r = testing::run_command(batch_command(
        store, work, {"jobs", "-j", workers, "--report", "r.jsonl", "--metrics", "m.prom"}));
    EXPECT_EQ(r.status, kExitFileNotWritten) << r.output;
    std::map<std::string, std::string> batch;
    std::regex summary(R"(L(\d{4}) (\S+) (\S+) (\S+) status=(\d) badges=(\d+) records=(\d+) )"
                       R"(seconds=[0-9.]+\n)");
    std::string report;
    for (std::sregex_iterator it(r.output.begin(), r.output.end(), summary), end; it != end; ++it) {
      const std::smatch& m = *it;
      std::string log = "L" + m[1].str() + "-" + m[2].str() + "-" + m[3].str() + ".log";
      batch[m[4]] += m[5].str() + "\n" + read_file(work.cwd() / "varnoklis-logs/latest" / log);
      EXPECT_EQ(fs::status(work.cwd() / "varnoklis-logs/latest" / log).permissions(),
                fs::perms(0640));
      std::string metric = "{keyword=\"" + m[2].str() + "\",terminal=\"" + m[3].str() +
                           "\",path=\"" + m[4].str() + "\"} ";
      EXPECT_NE(
          read_file(work.cwd() / "m.prom").find("varnoklis_job_records" + metric + m[7].str()),
          std::string::npos);
    }
    for (const auto& job : listed) batch[job[2]] += read_file(job[2]);
    EXPECT_EQ(batch, single);
    EXPECT_NE(r.output.find("total jobs=17 ok=16 failed=1 not_run=0 held=0 seconds="),
              std::string::npos);
    EXPECT_TRUE(r.output.ends_with(" status=4\nfailed: L0018 IDSTAMM T01 " + work.root().string() +
                                   "/missing/x.dat status=4\n"));
    std::string last = read_file(work.cwd() / "r.jsonl");
    std::regex sent(R"("statements":(\d+))");
    for (std::sregex_iterator it(last.begin(), last.end(), sent), end; it != end; ++it) {
      statements[workers] += std::stoull((*it)[1].str());
    }
    last = last.substr(last.rfind("{"));
    EXPECT_TRUE(std::regex_match(
        last, std::regex(
                  R"(\{"line":18,"keyword":"IDSTAMM","terminal":"T01","path":".*/missing/)"
                  R"(x.dat","mode":"1","status":4,"badges":0,"records":0,"seconds":[0-9.]+,)"
                  R"("statements":\d+,"remembered":0,"added":null,"removed":null,"changed":null,)"
                  R"("previous":null,"held":false,"held_file":null,"start":"[-0-9T:+]{25}","end":")"
                  R"([-0-9T:+]{25}","log_written":true\}\n)")));
  }
  // Each further worker connects once more, attaching the store on both connections. A worker
  // that already holds one question open asks another one itself rather than wait for the worker
  // asking it, so now and then a question goes out twice: a few in a hundred, not a third more.
  constexpr std::uint64_t kConnectStatements = 8;
  EXPECT_LE(statements["3"], statements["1"] + 2 * kConnectStatements + statements["1"] / 20);
  EXPECT_LT(statements["1"], statements["single"]);
}

// A connection that fails with an 08 state is given up: the worker's next job connects anew and
// fails at the same statement as a single run with that fault, logging what it prints.
TEST(Batch, BrokenConnectionIsOpenedAgain) {
  TempStore store;
  load_demo(store);
  Workplace work(store);
  const std::string fault = "execute:14:08S01:0";
  // Without memory, so that the fourteenth statement is the same in every job.
  setenv("VARNOKLIS_NO_MEMORY", "1", 1);
  setenv("VARNOKLIS_MAX_REMOVED", "50", 1);
  std::string jobs, single;
  // Each file is there before the single run, as it is before the job, for the same comparison.
  for (const char* keyword : {"QZDNL17P", "QZDNL31P", "IDSTAMM"}) {
    work.run_faulty(fault, work.root() / "stats", {keyword, "T01", work.file(keyword), "1"});
  }
  for (const char* keyword : {"QZDNL17P", "QZDNL31P", "IDSTAMM"}) {
    jobs += std::string(keyword) + " T01 " + work.file(keyword) + " 1\n";
    single +=
        work.run_faulty(fault, work.root() / "stats", {keyword, "T01", work.file(keyword), "1"})
            .output;
  }
  unsetenv("VARNOKLIS_MAX_REMOVED");
  write_file(work.cwd() / "jobs", jobs);
  testing::run_command(batch_command(store, work, {"jobs"}, "VARNOKLIS_FAULT=" + fault + " ",
                                     "varnoklis-batch-faulty"));
  unsetenv("VARNOKLIS_NO_MEMORY");
  std::string logs;
  for (const char* log : {"L0001-QZDNL17P-T01", "L0002-QZDNL31P-T01", "L0003-IDSTAMM-T01"}) {
    logs += read_file(work.cwd() / "varnoklis-logs/latest" / (std::string(log) + ".log"));
  }
  EXPECT_EQ(logs, single);
  EXPECT_NE(single.find("08S01"), std::string::npos);
}

// One bad line stops the batch before anything runs; every bad line is named.
TEST(Batch, BadJobFileRunsNothing) {
  TempStore store;
  Workplace work(store);
  write_file(work.cwd() / "jobs",
             "IDSTAMM T01 a.dat 1\nQZDNL99P T01 b.dat 1\nIDSTAMM T01 c.dat\n"
             "IDSTAMM T0123456789AB d.dat 1\nIDSTAMM T01 my file.dat 1\n QZDNL17P T01 A.DAT 1\n"
             "IDSTAMM T01 e.dat 2\n  # IDSTAMM\n\nIDSTAMM T01 jobs 0\nQZDNL31P T02 ./jobs 1\n");
  RunResult r = testing::run_command(batch_command(store, work, {"jobs", "-j", "2"}));
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.output,
            "jobs:2: unknown keyword QZDNL99P\n"
            "jobs:3: expected 4 fields KEYWORD TERMINAL PATH MODE, found 3\n"
            "jobs:4: terminal T0123456789AB is longer than 11 characters\n"
            "jobs:5: the path holds a blank; a path in a job file cannot hold blanks or tabs\n"
            "jobs:6: path A.DAT is also written by line 1 with another keyword, IDSTAMM\n"
            "jobs:7: mode 2 is neither 1 (new) nor 0 (append)\n"
            "jobs:11: path ./jobs is also written by line 10 with another keyword, IDSTAMM\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(work.cwd()), {}), 2) << "no file";
  EXPECT_TRUE(fs::is_empty(work.cwd() / "varnoklis-logs")) << "no log";
  write_file(work.cwd() / "jobs", "IDSTAMM T01 a.dat 1\n# all\n");
  r = testing::run_command(batch_command(store, work, {"--check", "jobs"}));
  EXPECT_EQ(r.output,
            "jobs:1: warning: path a.dat is relative; it resolves against the working folder (the "
            "service's is /)\nJob file jobs: 1 jobs, no errors.\n");
  r = testing::run_command(batch_command(store, work, {"jobs", "-j", "65"}));
  EXPECT_EQ(r.output,
            "varnoklis-batch: -j needs a number of jobs from 1 to 64, not '65'\n"
            "Try 'varnoklis-batch --help'.\n");
  r = testing::run_command(batch_command(store, work, {"--help"}));
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.output, help_text());
}

// --check, as the account that runs the night and writing nothing, names each thing the night
// would fail on, one line each, status 1: a key missing from the configuration, a file the
// account cannot write, a lock file that is a FIFO, a journal it cannot open, a missing or
// read-only folder for a new file, a log folder it cannot make, a state folder it cannot write.
// A writable file in a read-only folder is fine. --connect also connects.
TEST(Batch, CheckSeesWhatTheNightNeeds) {
  if (!testing::running_as_root()) GTEST_SKIP() << "needs root to make files of another account";
  TempStore store;
  Workplace work(store);
  work.open_to_unprivileged();
  const std::string root = work.root().string();
  fs::create_directories(work.file("ro"));
  write_file(work.file("ro/kept.dat"), "");
  write_file(work.file("locked.dat"), "");
  write_file(work.file("fifo.dat"), "");
  write_file(work.file("rw.dat.journal"), "");
  ASSERT_EQ(::mkfifo(work.file("fifo.dat.lock").c_str(), 0666), 0);
  for (const auto& [name, mode] :
       std::vector<std::pair<std::string, fs::perms>>{{"ro/kept.dat", fs::perms(0666)},
                                                      {"fifo.dat", fs::perms(0666)},
                                                      {"ro", fs::perms(0555)},
                                                      {"locked.dat", fs::perms(0444)},
                                                      {"rw.dat.journal", fs::perms(0600)},
                                                      {"state", fs::perms(0555)}}) {
    fs::permissions(work.file(name), mode);
  }
  work.write_config({{"LOGIN", "operator"}, {"DATABASE", store.dsn()}, {"SCHEMA", "KELVANIROX"}});
  write_file(work.cwd() / "jobs", "IDSTAMM T01 " + root + "/ro/kept.dat 1\nIDSTAMM T01 " + root +
                                      "/locked.dat 1\nIDSTAMM T01 " + root +
                                      "/fifo.dat 1\nIDSTAMM T01 " + root +
                                      "/rw.dat 1\nIDSTAMM T01 " + root +
                                      "/gone/x.dat 1\nIDSTAMM T01 " + root + "/ro/new.dat 1\n");
  RunResult r = testing::run_command(
      "setpriv --reuid=65534 --regid=65534 --clear-groups sh -c " +
      shell_quote(batch_command(store, work, {"--check", "jobs", "--logs", root + "/ro/logs"})));
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(
      r.output,
      "varnoklis-batch: Konfigurationswert PASS in ../../files/kelvaniro.ini nicht gefunden!\n"
      "jobs:2: Datei " +
          root +
          "/locked.dat: Permission denied (Eigentuemer root)\n"
          "jobs:3: Sperrdatei " +
          root +
          "/fifo.dat.lock: not a regular file\n"
          "jobs:4: Journal " +
          root +
          "/rw.dat.journal: Permission denied (Eigentuemer root)\n"
          "jobs:5: Ordner " +
          root +
          "/gone: No such file or directory\n"
          "jobs:6: Ordner " +
          root +
          "/ro: Permission denied (Eigentuemer root)\n"
          "varnoklis-batch: Ordner " +
          root +
          "/ro: Permission denied (Eigentuemer root)\n"
          "varnoklis-batch: Ordner " +
          work.state_dir().string() + ": Permission denied (Eigentuemer root)\n");
  EXPECT_TRUE(fs::is_empty(work.state_dir()));

  write_file(work.cwd() / "jobs", "IDSTAMM T01 " + root + "/ro/kept.dat 1\n");
  work.write_config({{"LOGIN", "operator"}, {"PASS", ""}, {"DATABASE", "NOSUCH"}, {"SCHEMA", "K"}});
  r = testing::run_command(batch_command(store, work, {"--check", "--connect", "jobs"}));
  EXPECT_EQ(r.output + std::to_string(r.status),
            "varnoklis-batch: Datenbank NOSUCH: SQLSTATE: IM002 ErrNr: 0 Text: [unixODBC][Driver "
            "Manager]Data source name not found and no default driver specified\n1");
  work.write_config(
      {{"LOGIN", "operator"}, {"PASS", ""}, {"DATABASE", store.dsn()}, {"SCHEMA", "K"}});
  r = testing::run_command(batch_command(store, work, {"--check", "--connect", "jobs"}));
  EXPECT_EQ(r.output + std::to_string(r.status), "Job file jobs: 1 jobs, no errors.\n0");
}

// SIGTERM while the second job waits for its path: it finishes, the third never starts.
TEST(Batch, SignalLetsTheRunningJobFinish) {
  TempStore store;
  load_demo(store);
  Workplace work(store);
  write_file(work.cwd() / "jobs", "IDSTAMM T01 " + work.file("f1") + " 1\nIDSTAMM T01 " +
                                      work.file("f2") + " 1\nIDSTAMM T01 " + work.file("f3") +
                                      " 1\n");
  int held = ::open(work.file("f2.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  RunResult r;
  std::thread batch([&] {
    r = testing::run_command(batch_command(store, work, {"jobs"}, "echo $$ >pid; exec "));
  });
  fs::path log = work.cwd() / "varnoklis-logs/latest/L0002-IDSTAMM-T01.log";
  for (int i = 0; i < 500 && read_file(log).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(std::stoi(read_file(work.cwd() / "pid")), SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::close(held);
  batch.join();
  EXPECT_EQ(r.status, kExitStopped);
  EXPECT_NE(r.output.find("\nvarnoklis-batch: stopping; no new job starts\n"), std::string::npos);
  EXPECT_NE(r.output.find("\ntotal jobs=3 ok=2 failed=0 not_run=1 held=0 seconds="),
            std::string::npos);
  EXPECT_TRUE(r.output.ends_with(" status=6\nnot run: L0003 IDSTAMM T01 " + work.file("f3") + "\n"))
      << r.output;
  EXPECT_FALSE(read_file(work.file("f2")).empty());
  EXPECT_FALSE(fs::exists(work.file("f3")));
}

// A batch that finds another on its job file or log folder writes nothing; an empty job file is a
// failed night; each night has its folder, the newest kept; a log on a full disk is no success.
TEST(Batch, NightsAreAloneHonestAndKept) {
  TempStore store;
  load_demo(store);
  Workplace work(store);
  fs::path logs = work.cwd() / "varnoklis-logs";
  auto run = [&](std::vector<std::string> arguments, const std::string& prefix = "") {
    arguments.insert(arguments.end(), {"--report", "r.jsonl", "--metrics", "m.prom"});
    return testing::run_command(batch_command(store, work, arguments, prefix));
  };
  write_file(work.cwd() / "jobs", "# none\n\n");
  RunResult r = run({"jobs"});
  EXPECT_EQ(r.output, "jobs: no jobs\n");
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_TRUE(std::regex_match(
      read_file(work.cwd() / "r.jsonl"),
      std::regex(R"(\{"batch":\{"start":"[^"]+","end":"[^"]+","status":1,"job_file":"jobs",)"
                 R"("host":"[^"]+","version":"[^"]+","logs":null,)"
                 R"("jobs":\{"ok":0,"failed":0,"not_run":0,"held":0\}\}\}\n)")));
  EXPECT_NE(read_file(work.cwd() / "m.prom")
                .find("\nvarnoklis_batch_last_success_timestamp_seconds 0\n"
                      "# HELP varnoklis_batch_last_start"),
            std::string::npos);

  for (const char* other : {"2001-01-01", "2001-01-02.3", "2001-01-0x", "notes"}) {
    fs::create_directories(logs / other);
  }
  write_file(logs / "summary.log", "kept\n");
  write_file(work.cwd() / "jobs", "IDSTAMM T01 " + work.file("f1") + " 1\n");
  for (int night = 0; night < 2; ++night)
    EXPECT_EQ(run({"jobs", "--keep-nights", "2"}).status, kExitOk);
  std::time_t now = std::time(nullptr);
  char today[16];
  std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(logs)) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{today, today + std::string(".2"), "2001-01-0x", "latest",
                                          "notes", "summary.log"}));
  EXPECT_EQ(fs::read_symlink(logs / "latest"), today + std::string(".2"));
  std::string report = read_file(work.cwd() / "r.jsonl");
  EXPECT_TRUE(std::regex_match(
      report.substr(0, report.find('\n') + 1),
      std::regex(R"(\{"batch":\{"start":"[^"]+","end":"[^"]+","status":0,"job_file":"jobs",)"
                 R"("host":"[^"]+","version":"[^"]+","logs":"varnoklis-logs/)" +
                 std::string(today) +
                 R"(\.2","jobs":\{"ok":1,"failed":0,"not_run":0,"held":0\}\}\}\n)")))
      << report;
  std::string metrics = read_file(work.cwd() / "m.prom");
  for (std::string series : {"varnoklis_job_ran{keyword=\"IDSTAMM\",terminal=\"T01\",path=\"" +
                                 work.file("f1") + "\"} 1\n",
                             std::string("varnoklis_batch_status 0\n"),
                             std::string("varnoklis_batch_jobs{outcome=\"ok\"} 1\n")}) {
    EXPECT_NE(metrics.find("\n" + series), std::string::npos) << series;
  }

  // Another batch holds the job file's lock, then the log folder's.
  for (const char* what : {"jobs", "logs"}) {
    struct stat info {};
    ::stat((std::string(what) == "jobs" ? work.cwd() / "jobs" : logs).c_str(), &info);
    fs::path name =
        work.state_dir() / ("batch-" + std::string(what) + "-" + std::to_string(info.st_dev) + "-" +
                            std::to_string(info.st_ino) + ".lock");
    int held = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_EQ(::pwrite(held, "4242\n", 5, 0), 5);
    r = run({"jobs"});
    ::close(held);
    EXPECT_EQ(r.status, kExitRefused);
    EXPECT_EQ(r.output, std::string("varnoklis-batch: another batch (process 4242) ") +
                            (std::string(what) == "jobs" ? "is running jobs\n"
                                                         : "is writing into varnoklis-logs\n"));
    EXPECT_EQ(read_file(work.cwd() / "r.jsonl"), report);
    EXPECT_EQ(read_file(work.cwd() / "m.prom"), metrics);
    EXPECT_EQ(std::distance(fs::directory_iterator(logs), {}), 6);
  }

  if (::geteuid() != 0 || std::system("unshare -m --propagation private true 2>/dev/null") != 0) {
    GTEST_SKIP() << "a full tmpfs needs root and a private mount namespace";
  }
  r = run({"jobs"},
          "unshare -m --propagation private sh -c 'mount -t tmpfs -o size=64k tmpfs "
          "varnoklis-logs && cat /dev/zero >varnoklis-logs/fill 2>/dev/null; "
          "exec \"$0\" \"$@\"' ");
  EXPECT_EQ(r.status, kExitFileNotWritten);
  EXPECT_NE(r.output.find("varnoklis-batch: cannot write the log varnoklis-logs/" +
                          std::string(today) + "/L0001-IDSTAMM-T01.log: No space left on device\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(read_file(work.cwd() / "r.jsonl").find("\"status\":0,"), std::string::npos);
  EXPECT_NE(read_file(work.cwd() / "r.jsonl").find("\"log_written\":false}"), std::string::npos);
}

// A job whose new file would empty most of a client is held back alone: the good jobs are put in
// place, the held one keeps its old file, and the night ends 8 even beside a job that ended 1;
// a higher limit releases it.
TEST(Batch, HeldJobKeepsItsFileAndTheNightSaysSo) {
  TempStore store;
  load_demo(store);
  store.sql("KVXCORE",
            "WITH RECURSIVE n(i) AS (SELECT 3001 UNION ALL SELECT i + 1 FROM n WHERE i < 3024) "
            "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswBkl, AswAtp, AswLiz, AswMnd) "
            "SELECT i, date('now', '-1 year'), '10', 4, 1, 1 FROM n;"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto) SELECT AswNum, '12' FROM Kvx301Asw "
            "WHERE AswNum LIKE '30__';");
  Workplace work(store);
  const std::string held = work.file("T01-17"), good = work.file("T02-18");
  write_file(work.cwd() / "jobs", "QZDNL17P T01 " + held + " 1\nQZDNL18P T02 " + good + " 1\n");
  auto night = [&](const std::string& limit) {
    return testing::run_command(batch_command(
        store, work,
        {"jobs", "--max-removed", limit, "--report", "r.jsonl", "--metrics", "m.prom"}));
  };
  ASSERT_EQ(night("50").status, kExitOk);
  const std::string old_file = read_file(held);
  EXPECT_EQ(night("101").output,
            "varnoklis-batch: --max-removed needs a share in percent from 0 to 100, not '101'\n"
            "Try 'varnoklis-batch --help'.\n");

  store.sql("KVXCORE", "DELETE FROM Kvx301Asw WHERE AswMnd = 1;");
  write_file(work.cwd() / "jobs",
             read_file(work.cwd() / "jobs") + "QZDNL31P T99 " + work.file("T99-31") + " 1\n");
  RunResult r = night("50");
  EXPECT_EQ(r.status, kExitHeld) << r.output;
  EXPECT_TRUE(std::regex_search(
      r.output, std::regex(R"(\ntotal jobs=3 ok=1 failed=1 not_run=0 held=1 seconds=[0-9.]+ )"
                           R"(status=8\nheld: L0001 QZDNL17P T01 \S+/T01-17\nfailed: L0003 )"
                           R"(QZDNL31P T99 \S+/T99-31 status=1\n$)")))
      << r.output;
  EXPECT_EQ(read_file(held), old_file);
  const std::string held_file = work.file(".T01-17.varnoklis-held");
  std::string report = read_file(work.cwd() / "r.jsonl");
  EXPECT_NE(report.find("\"jobs\":{\"ok\":1,\"failed\":1,\"not_run\":0,\"held\":1}}}"),
            std::string::npos);
  EXPECT_TRUE(std::regex_search(
      report, std::regex(R"("line":1,.*"added":0,"removed":(\d+),"changed":0,"previous":(\d+),)"
                         R"("held":true,"held_file":")" +
                         held_file + "\"")))
      << report;
  std::string metrics = read_file(work.cwd() / "m.prom");
  for (std::string series :
       {std::string("varnoklis_batch_jobs{outcome=\"held\"} 1\n"),
        std::string("varnoklis_batch_status 8\n"),
        "varnoklis_job_status{keyword=\"QZDNL17P\",terminal=\"T01\",path=\"" + held + "\"} 8\n",
        "varnoklis_job_badges_removed{keyword=\"QZDNL17P\",terminal=\"T01\",path=\"" + held +
            "\"} "}) {
    EXPECT_NE(metrics.find("\n" + series), std::string::npos) << series;
  }
  const std::string new_file = read_file(held_file);
  r = night("100");
  EXPECT_EQ(r.status, kExitJobRefused) << r.output;
  EXPECT_EQ(read_file(held), new_file);
  EXPECT_FALSE(fs::exists(held_file));
}

// Labels and report strings keep every byte readable; a failed batch keeps the last success, a
// starting one the values before it; a job that did not run has only its `ran` series.
TEST(Batch, ReportAndMetricsEscapeAndCarryOver) {
  setenv("TZ", "CET-1", 1);
  tzset();
  std::vector<Job> jobs = {{7, "IDSTAMM", "T\"1", "/x/\xe4\\b\xc3\xbc\n", "1", 0},
                           {8, "IDSTAMM", "T2", "y", "0", 1}};
  std::vector<JobResult> outcomes(2);
  constexpr std::time_t kStart = 1796785200;  // 2026-12-09 04:00 in Central Europe
  outcomes[0] = {true, 5, {3, 2, 40, 9}, 1.5, false, kStart, kStart + 2};
  BatchRecord batch{kStart, kStart + 3, 5, "jobs", "h\"", "1.0", "logs/2026-12-09"};
  EXPECT_EQ(
      report_text(batch, jobs, outcomes),
      "{\"batch\":{\"start\":\"2026-12-09T04:00:00+01:00\",\"end\":\"2026-12-09T04:00:03+01:"
      "00\",\"status\":5,\"job_file\":\"jobs\",\"host\":\"h\\\"\",\"version\":\"1.0\","
      "\"logs\":\"logs/2026-12-09\",\"jobs\":{\"ok\":0,\"failed\":1,\"not_run\":1,\"held\":0}}}\n"
      "{\"line\":7,\"keyword\":\"IDSTAMM\",\"terminal\":\"T\\\"1\",\"path\":\"/x/\\u00e4\\\\b"
      "\xc3\xbc\\u000a\",\"mode\":\"1\",\"status\":5,\"badges\":3,\"records\":2,"
      "\"seconds\":1.500,\"statements\":40,\"remembered\":9,"
      "\"added\":null,\"removed\":null,\"changed\":null,\"previous\":null,\"held\":false,\"held_"
      "file\":null,\"start\":\"2026-12-09T04:00:00+"
      "01:00\",\"end\":\"2026-12-09T04:00:02+01:00\",\"log_written\":false}\n"
      "{\"line\":8,\"keyword\":\"IDSTAMM\",\"terminal\":\"T2\",\"path\":\"y\",\"mode\":\"0\","
      "\"status\":null,\"badges\":0,\"records\":0,\"seconds\":0.000,\"statements\":0,"
      "\"remembered\":0,\"added\":null,\"removed\":null,\"changed\":null,\"previous\":null,"
      "\"held\":false,\"held_file\":null,"
      "\"start\":null,\"end\":null,\"log_written\":null}\n");
  std::string metrics = metrics_text(batch, jobs, outcomes, 2.25, 1700000000);
  for (const char* series :
       {"\nvarnoklis_job_status{keyword=\"IDSTAMM\",terminal=\"T\\\"1\",path=\"/x/\\\\xE4\\\\b"
        "\xc3\xbc\\n\"} 5\n",
        "\nvarnoklis_job_ran{keyword=\"IDSTAMM\",terminal=\"T2\",path=\"y\"} 0\n",
        "\nvarnoklis_batch_last_start_timestamp_seconds 1796785200\n",
        "\nvarnoklis_batch_last_run_timestamp_seconds 1796785203\n", "\nvarnoklis_batch_status 5\n",
        "\nvarnoklis_batch_jobs{outcome=\"not_run\"} 1\n"}) {
    EXPECT_NE(metrics.find(series), std::string::npos) << series << metrics;
  }
  EXPECT_EQ(metrics.find("T2"), metrics.rfind("T2")) << "a job that did not run has one series";
  std::string started = metrics;
  started.replace(started.find("seconds 1796785200"), 18, "seconds 1796871600");
  EXPECT_EQ(start_metrics_text(metrics, kStart + 86400), started);
  std::string first = start_metrics_text("", kStart);
  EXPECT_TRUE(first.starts_with("# HELP varnoklis_batch_last_start_timestamp_seconds "));
  EXPECT_TRUE(first.ends_with("\nvarnoklis_batch_last_start_timestamp_seconds 1796785200\n"));
  // 1, 9, 6, 5..2, 7, 0: a log not written whole counts as 4.
  EXPECT_EQ(batch_status(outcomes, true, false), kExitStopped);
  EXPECT_EQ(batch_status({outcomes[0]}, false, false), kExitRecordsMissing);
  outcomes[0].status = kExitUsage;
  EXPECT_EQ(batch_status({outcomes[0]}, false, false), kExitFileNotWritten);
  outcomes[0].log_written = true;
  EXPECT_EQ(batch_status({outcomes[0]}, false, false), kExitJobRefused);
  EXPECT_EQ(batch_status({outcomes[0]}, false, true), kExitFileNotWritten);
  EXPECT_EQ(worse_status(kExitRefused, kExitStopped), kExitRefused);
  EXPECT_EQ(worse_status(kExitUsage, kExitRefused), kExitUsage);
}

}  // namespace
}  // namespace varnoklis::batch
