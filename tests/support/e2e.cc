#include "support/e2e.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "config/cipher.h"

namespace varnoklis::testing {

namespace fs = std::filesystem;

namespace {

// Fails the test when `folder` or a folder above it cannot be entered by other users: the
// unprivileged run could not reach the program, the store or the working folder.
void expect_reachable_by_others(const fs::path& folder) {
  for (fs::path p = fs::absolute(folder); !p.empty(); p = p.parent_path()) {
    std::error_code error;
    fs::perms perms = fs::status(p, error).permissions();
    EXPECT_FALSE(error) << p;
    EXPECT_NE(perms & fs::perms::others_exec, fs::perms::none)
        << p << " cannot be entered by other users; set TMPDIR to a folder they can reach";
    if (p == p.root_path()) break;
  }
}

// A sanitizer build names its leak suppressions by a path inside the clone; the copy gets its
// own, so the run does not fail for a file it cannot read.
std::string copy_leak_suppressions(const fs::path& folder) {
  const char* options = std::getenv("LSAN_OPTIONS");
  if (options == nullptr) return {};
  std::string text = options;
  const std::string key = "suppressions=";
  std::size_t at = text.find(key);
  if (at == std::string::npos) return text;
  std::size_t start = at + key.size();
  std::size_t end = text.find(':', start);
  if (end == std::string::npos) end = text.size();
  fs::path copy = folder / "lsan.supp";
  fs::copy_file(text.substr(start, end - start), copy, fs::copy_options::overwrite_existing);
  return text.replace(start, end - start, copy.string());
}

}  // namespace

Workplace::Workplace(const TempStore& store, const std::string& schema_value)
    : odbc_ini_(store.odbc_ini()), program_(fs::path(VARNOKLIS_BINARY_DIR) / "varnoklis") {
  fs::create_directories(cwd());
  fs::create_directories(config_file().parent_path());
  fs::create_directories(state_dir());
  write_config({{"LOGIN", "operator"},
                {"PASS", "secret"},
                {"DATABASE", store.dsn()},
                {"SCHEMA", schema_value}});
}

void Workplace::write_config(
    const std::vector<std::pair<std::string, std::string>>& entries) const {
  std::string text;
  int number = 0;
  for (const auto& [key, value] : entries) {
    text += "#;" + key + ";\r\n";
    text += std::to_string(++number) + ";" + key + ";" + config::encipher(value) + "\r\n";
  }
  write_file(config_file(), text);
}

bool running_as_root() {
  return geteuid() == 0;
}

RunResult Workplace::run(const std::vector<std::string>& arguments) const {
  return run_command(command(arguments));
}

RunResult Workplace::run_tool(const std::string& program,
                              const std::vector<std::string>& arguments) const {
  return run_command(command(arguments, program) + " 2>/dev/null");
}

void Workplace::open_to_unprivileged() {
  fs::path bin = dir_.path() / "bin";
  fs::create_directories(bin);
  fs::copy_file(program_, bin / "varnoklis", fs::copy_options::overwrite_existing);
  program_ = bin / "varnoklis";
  lsan_options_ = copy_leak_suppressions(bin);
  for (const fs::path& folder : {dir_.path(), odbc_ini_.parent_path()}) {
    run_command("chmod -R a+rwX " + shell_quote(folder.string()) + " 2>&1");
    expect_reachable_by_others(folder);
  }
}

RunResult Workplace::run_unprivileged(const std::vector<std::string>& arguments) const {
  if (!running_as_root()) return run(arguments);
  return run_command("setpriv --reuid=65534 --regid=65534 --clear-groups sh -c " +
                     shell_quote(command(arguments)));
}

RunResult Workplace::run_faulty(const std::string& fault, const fs::path& stats,
                                const std::vector<std::string>& arguments) const {
  return run_command("export VARNOKLIS_STATS=1 VARNOKLIS_FAULT=" + shell_quote(fault) + "; " +
                     command(arguments, "varnoklis-faulty") + " 2>" + shell_quote(stats.string()));
}

RunResult Workplace::run_batch(const std::string& fault,
                               const std::vector<std::string>& arguments) const {
  return run_command("export VARNOKLIS_FAULT=" + shell_quote(fault) + "; " +
                     command(arguments, "varnoklis-batch-faulty") + " 2>&1");
}

std::string Workplace::command(const std::vector<std::string>& arguments,
                               const std::string& program) const {
  std::string command = "cd " + shell_quote(cwd().string()) + " && LC_ALL=" + locale_ +
                        " ODBCINI=" + shell_quote(odbc_ini_.string()) +
                        " ODBCSYSINI=" + shell_quote(odbc_ini_.parent_path().string()) +
                        " VARNOKLIS_STATE_DIR=" + shell_quote(state_dir().string()) + " ";
  if (!lsan_options_.empty()) command += "LSAN_OPTIONS=" + shell_quote(lsan_options_) + " ";
  if (!wrapper_.empty()) command += wrapper_ + " ";
  command += shell_quote(program.empty() ? program_.string()
                                         : std::string(VARNOKLIS_BINARY_DIR) + "/" + program);
  for (const std::string& argument : arguments) command += " " + shell_quote(argument);
  return command;
}

}  // namespace varnoklis::testing
