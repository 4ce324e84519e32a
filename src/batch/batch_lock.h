#pragma once

#include <string>
#include <vector>

#include "run/destination.h"

namespace varnoklis::batch {

/// The locks that let one batch at a time run a job file and write a log folder: exclusive
/// `flock`s on `STATE/batch-jobs-DEV-INO.lock` (the job file's) and `STATE/batch-logs-DEV-INO.lock`
/// (the log folder's), or on `LOGDIR/.varnoklis-batch.lock` alone without a state folder. Each
/// holds the process id of the batch that holds it.
class BatchLock {
 public:
  /// Takes the locks without waiting; false with `error` set (the message without the program's
  /// name) when another batch holds one or a lock file cannot be opened.
  bool acquire(const std::string& job_file, const std::string& logs,
               const std::string& state_folder, std::string& error);

 private:
  std::vector<FileDescriptor> held_;
};

}  // namespace varnoklis::batch
