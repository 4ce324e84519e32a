#pragma once

#include <string>
#include <vector>

#include "base/files.h"

namespace varnoklis::batch {

/// The locks that let one batch at a time run a job file and write a log folder: exclusive
/// `flock`s on `STATE/batch-jobs-DEV-INO.lock` (the job file's) and `STATE/batch-logs-DEV-INO.lock`
/// (the log folder's), or on `LOGDIR/.varnoklis-batch.lock` alone without a state folder. Each
/// holds the process id of the batch that holds it.
class BatchLock {
 public:
  /// Takes the job file's lock without waiting (none without a state folder); false with `error`
  /// set (the message without the program's name) when another batch holds it or its lock file
  /// cannot be opened.
  bool lock_job_file(const std::string& job_file, const std::string& state_folder,
                     std::string& error);

  /// Takes the lock of the existing log folder `logs` as `lock_job_file` takes the job file's.
  bool lock_logs(const std::string& logs, const std::string& state_folder, std::string& error);

 private:
  std::vector<FileDescriptor> held_;
};

}  // namespace varnoklis::batch
