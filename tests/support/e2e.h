#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_store.h"

namespace varnoklis::testing {

/// A working folder laid out as the program expects: the run happens in `work/a/b`, the
/// configuration file lies in `work/files/kelvaniro.ini`.
class Workplace {
 public:
  /// Writes a configuration file that names the store's data source and the given schema.
  explicit Workplace(const TempStore& store, const std::string& schema_value = "KELVANIROX");
  /// Writes a configuration file with exactly these entries (key, plaintext), enciphered.
  void write_config(const std::vector<std::pair<std::string, std::string>>& entries) const;
  /// Runs the program (build/varnoklis, or its copy) with `arguments` in the working folder.
  RunResult run(const std::vector<std::string>& arguments) const;
  /// Runs the build's `program` (such as varnoklis-explain) with `arguments` in the working
  /// folder; standard error is left out of the result.
  RunResult run_tool(const std::string& program, const std::vector<std::string>& arguments) const;
  /// Runs build/varnoklis-faulty with the fault `fault` (see its source; empty: none) and
  /// VARNOKLIS_STATS set, standard error going to `stats`.
  RunResult run_faulty(const std::string& fault, const std::filesystem::path& stats,
                       const std::vector<std::string>& arguments) const;
  /// Runs build/varnoklis-batch-faulty with the fault `fault` (empty: none) and `arguments` in
  /// the working folder, standard error joined to standard output.
  RunResult run_batch(const std::string& fault, const std::vector<std::string>& arguments) const;
  /// Opens the working area and the store to every user, for run_unprivileged, and copies the
  /// program into the working area, since the build folder may lie where other users cannot
  /// enter; call it before taking rights away from single files or folders.
  void open_to_unprivileged();
  /// Runs the program as an unprivileged user when the tests run as root, so that file
  /// permissions apply; needs open_to_unprivileged first.
  RunResult run_unprivileged(const std::vector<std::string>& arguments) const;
  /// Runs the program under LC_ALL=`locale` (C, code page 1252, unless set).
  void set_locale(const std::string& locale) { locale_ = locale; }
  /// Puts `wrapper` (a shell word list, such as a tracer) in front of the program in every run.
  void set_wrapper(const std::string& wrapper) { wrapper_ = wrapper; }
  /// The state folder the runs use (`VARNOKLIS_STATE_DIR`), inside the working area.
  std::filesystem::path state_dir() const { return dir_.path() / "state"; }
  /// The working area's root folder.
  const std::filesystem::path& root() const { return dir_.path(); }
  /// The folder the program runs in.
  std::filesystem::path cwd() const { return dir_.path() / "a" / "b"; }
  /// The configuration file.
  std::filesystem::path config_file() const { return dir_.path() / "files" / "kelvaniro.ini"; }
  /// A path for a download file inside the working area.
  std::string file(const std::string& name) const { return (dir_.path() / name).string(); }

 private:
  std::string command(const std::vector<std::string>& arguments,
                      const std::string& program = "") const;

  TempDir dir_;
  std::filesystem::path odbc_ini_;
  std::filesystem::path program_;
  std::string locale_ = "C";
  std::string wrapper_;
  std::string lsan_options_;  // for the copy: the leak suppressions copied along, when set
};

/// Whether the tests run as root, for whom file permissions do not apply.
bool running_as_root();

}  // namespace varnoklis::testing
