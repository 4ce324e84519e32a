#pragma once

#include <string>

namespace varnoklis {

/// Stands for "not a regular file" where a lock file or a journal is something else.
constexpr int kNotRegularFile = -1;

/// What a failed file step could not do: the kind of object (`Sperrdatei`, `Journal`, `Ordner`,
/// `Datei`, `Temporaere Datei`), its full name and the system's error number (or
/// `kNotRegularFile`). No object: the failure has no reason to give.
struct FileFailure {
  const char* object = nullptr;  ///< the kind of object, nullptr when there is no reason
  std::string name;              ///< the object's full path
  int error = 0;                 ///< errno of the failed call, or kNotRegularFile
};

/// Records `object` `name` with `error` in `failure` and returns false, for `return fail(...)`.
bool fail(FileFailure& failure, const char* object, const std::string& name, int error);

/// The reason line of `failure` without its line end: two blanks, `OBJECT NAME: REASON`, and the
/// owner where another account's object refused access; empty when there is no reason.
std::string reason_line(const FileFailure& failure);

/// The open message of the download file `path` and the reason line of `failure`.
void report_open_failure(const std::string& path, const FileFailure& failure);

/// The write message of the download file `path` and the reason line of `failure`.
void report_write_failure(const std::string& path, const FileFailure& failure);

}  // namespace varnoklis
