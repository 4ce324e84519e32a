#include "support/e2e.h"

#include <unistd.h>

#include <cstdio>

#include "config/cipher.h"

namespace varnoklis::testing {

namespace fs = std::filesystem;

Workplace::Workplace(const TempStore& store, const std::string& schema_value)
    : odbc_ini_(store.odbc_ini()) {
  fs::create_directories(cwd());
  fs::create_directories(config_file().parent_path());
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

void Workplace::open_to_unprivileged() const {
  for (const fs::path& folder : {dir_.path(), odbc_ini_.parent_path()}) {
    run_command("chmod -R a+rwX " + shell_quote(folder.string()) + " 2>&1");
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

std::string Workplace::command(const std::vector<std::string>& arguments,
                               const std::string& program) const {
  std::string command = "cd " + shell_quote(cwd().string()) +
                        " && ODBCINI=" + shell_quote(odbc_ini_.string()) +
                        " ODBCSYSINI=" + shell_quote(odbc_ini_.parent_path().string()) + " " +
                        shell_quote(std::string(VARNOKLIS_BINARY_DIR) + "/" + program);
  for (const std::string& argument : arguments) command += " " + shell_quote(argument);
  return command;
}

}  // namespace varnoklis::testing
