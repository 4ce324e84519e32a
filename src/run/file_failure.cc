#include "run/file_failure.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "base/output.h"

namespace varnoklis {

namespace {

// getpwuid_r, since the batch runs jobs in threads; the number where no name is found.
std::string owner_name(uid_t uid) {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  return std::to_string(uid);
}

// The full path, also where the run was given a relative one.
std::string full_name(const std::string& name) {
  std::error_code error;
  std::string full = std::filesystem::absolute(name, error).lexically_normal().string();
  if (error || full.empty()) return name;
  if (full.size() > 1 && full.back() == '/') full.pop_back();
  return full;
}

std::string system_reason(int error) {
  if (error == kNotRegularFile) return "not a regular file";
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be in the buffer.
  return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace

bool fail(FileFailure& failure, const char* object, const std::string& name, int error) {
  failure = {object, name, error};
  return false;
}

std::string reason_line(const FileFailure& failure) {
  if (failure.object == nullptr) return {};
  std::string line = "  " + std::string(failure.object) + " " + full_name(failure.name) + ": " +
                     system_reason(failure.error);
  struct stat info {};
  if ((failure.error == EACCES || failure.error == EPERM) &&
      ::lstat(failure.name.c_str(), &info) == 0 && info.st_uid != ::geteuid()) {
    line += " (Eigentuemer " + owner_name(info.st_uid) + ")";
  }
  return line;
}

// The kept line comes first, unchanged, since scripts match it.
namespace {

void print_reason(const FileFailure& failure) {
  std::string reason = reason_line(failure);
  if (!reason.empty()) print("%s\n", reason.c_str());
}

}  // namespace

void report_open_failure(const std::string& path, const FileFailure& failure) {
  print("Downloadfile %s konnte nicht geoeffnet werden!\n", path.c_str());
  print_reason(failure);
}

void report_write_failure(const std::string& path, const FileFailure& failure) {
  print("Downloadfile %s konnte nicht geschrieben werden!\n", path.c_str());
  print_reason(failure);
}

}  // namespace varnoklis
