#include "batch/preflight.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "base/files.h"
#include "config/config_file.h"
#include "db/session.h"
#include "db/timeouts.h"
#include "run/file_failure.h"
#include "run/path_lock.h"

namespace varnoklis::batch {

namespace {

const char* const kKeys[] = {"LOGIN", "PASS", "DATABASE", "SCHEMA"};

// The reason line's own words, without its indent.
std::string reason(const char* object, const std::string& name, int error) {
  return reason_line({object, name, error}).substr(2);
}

// The account's own right, as the kernel would grant it to an open (effective IDs); 0 or errno.
int access_error(const std::string& name, int mode) {
  return ::faccessat(AT_FDCWD, name.c_str(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

// A folder the account may create files in; empty, or why not.
std::string folder_problem(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return reason("Ordner", folder, errno);
  if (!S_ISDIR(info.st_mode)) return reason("Ordner", folder, ENOTDIR);
  int error = access_error(folder, W_OK | X_OK);
  return error == 0 ? std::string() : reason("Ordner", folder, error);
}

// A folder that is made where missing: the nearest one that exists must take it.
std::string made_folder_problem(const std::string& folder) {
  std::error_code error;
  std::filesystem::path at = std::filesystem::absolute(folder, error).lexically_normal();
  while (at.has_parent_path() && at != at.parent_path() && !std::filesystem::exists(at, error)) {
    at = at.parent_path();
  }
  return folder_problem(at.string());
}

class NightCheck {
 public:
  NightCheck(const Options& options, std::vector<Finding>& findings)
      : options_(options), findings_(findings) {}

  void configuration();
  void job(const Job& job);
  void folders();
  void connect();

 private:
  void problem(const std::string& prefix, const std::string& reason) {
    if (!reason.empty()) findings_.push_back({prefix + reason, true});
  }
  void download_file(const std::string& prefix, const std::string& path);
  void lock_and_journal(const std::string& prefix, const std::string& file);
  void lock_or_journal(const std::string& prefix, const char* object, const std::string& name);

  const Options& options_;
  std::vector<Finding>& findings_;
  std::set<std::string> paths_seen_;
  std::string values_[4];
  bool configuration_read_ = false;
};

void NightCheck::configuration() {
  const char* named = std::getenv("VARNOKLIS_CONFIG");
  std::string path = named != nullptr && *named != '\0' ? named : config::kConfigPath;
  bool complete = true;
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    config::ConfigValue found = config::read_config_value(path, "", kKeys[i], 0);
    if (found.status == config::ConfigStatus::NoFile) {
      std::string absolute = config::absolute_path(path);
      problem("varnoklis-batch: ", reason("Datei", absolute, found.file_error));
      return;
    }
    if (found.status != config::ConfigStatus::Found) {
      complete = false;
      problem("varnoklis-batch: ",
              "Konfigurationswert " + std::string(kKeys[i]) + " in " + path +
                  (found.status == config::ConfigStatus::NotFound ? " nicht gefunden!"
                                                                  : " ungueltig!"));
    }
    values_[i] = found.value;
  }
  configuration_read_ = complete;
}

void NightCheck::job(const Job& job) {
  std::string prefix = options_.job_file + ":" + std::to_string(job.line) + ": ";
  if (job.path.front() != '/') {
    findings_.push_back({prefix + "warning: path " + job.path +
                             " is relative; it resolves against the working folder (the "
                             "service's is /)",
                         false});
  }
  if (!paths_seen_.insert(job.path).second) return;
  download_file(prefix, job.path);
  std::string resolved = missing_file_name(job.path);
  char* real = ::realpath(job.path.c_str(), nullptr);
  if (real != nullptr) {
    resolved = real;
    std::free(real);
  }
  lock_and_journal(prefix, job.path);
  if (resolved != job.path) lock_and_journal(prefix, resolved);
}

void NightCheck::lock_and_journal(const std::string& prefix, const std::string& file) {
  lock_or_journal(prefix, "Sperrdatei", file + ".lock");
  lock_or_journal(prefix, "Journal", file + ".journal");
}

// Where the file exists the account must be able to open it for writing (asked of the kernel,
// never opened: a FIFO or device would block or act); where not, to create it in its folder. A
// writable file in a folder the account cannot write is written in place, so that is no problem.
void NightCheck::download_file(const std::string& prefix, const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return problem(prefix, reason("Datei", path, EISDIR));
    int error = access_error(path, W_OK);
    if (error != 0) problem(prefix, reason("Datei", path, error));
    return;
  }
  if (errno != ENOENT) return problem(prefix, reason("Datei", path, errno));
  problem(prefix, folder_problem(folder_of(missing_file_name(path))));
}

void NightCheck::lock_or_journal(const std::string& prefix, const char* object,
                                 const std::string& name) {
  struct stat info {};
  if (::lstat(name.c_str(), &info) != 0) {
    if (errno != ENOENT) problem(prefix, reason(object, name, errno));
    return;
  }
  if (!S_ISREG(info.st_mode))
    return problem(prefix, std::string(object) + " " + name + ": not a regular file");
  int error = access_error(name, R_OK);
  if (error != 0) problem(prefix, reason(object, name, error));
}

void NightCheck::folders() {
  const std::string prefix = "varnoklis-batch: ";
  problem(prefix, made_folder_problem(options_.logs));
  for (const std::string* file : {&options_.report, &options_.metrics}) {
    if (!file->empty()) problem(prefix, folder_problem(folder_of(*file)));
  }
  LockSettings settings;
  read_lock_settings(settings);
  struct stat info {};
  if (::stat(settings.state_dir.c_str(), &info) == 0) {
    problem(prefix, folder_problem(settings.state_dir));
  }
}

// Both connections, as a night with staged records committed in groups opens them.
void NightCheck::connect() {
  if (!options_.connect || !configuration_read_) return;
  Session session;
  DatabaseTimeouts timeouts;
  read_database_timeouts(timeouts);
  session.set_timeouts(timeouts);
  session.group().size = kLargestCommitGroup;
  if (session.connect(values_[2], values_[0], values_[1]) != 0) {
    problem("varnoklis-batch: ", "Datenbank " + values_[2] + ": " +
                                     describe_connect_failure(session.diagnostics(), values_[1]));
  }
}

}  // namespace

std::vector<Finding> check_night(const Options& options, const std::vector<Job>& jobs) {
  std::vector<Finding> findings;
  NightCheck check(options, findings);
  check.configuration();
  for (const Job& job : jobs) check.job(job);
  check.folders();
  check.connect();
  return findings;
}

}  // namespace varnoklis::batch
