#pragma once

namespace varnoklis {

/// Exit status of `varnoklis` (a run) and `varnoklis-batch` (the worst of its jobs' and its own).
enum ExitStatus : int {
  kExitOk = 0,     ///< the file holds every record the run built; every job ended 0
  kExitUsage = 1,  ///< bad parameters, or the batch could not start (options, job file, log folder)
  kExitConnect = 2,   ///< configuration unusable or connect failed; nothing done
  kExitDatabase = 3,  ///< terminal unchecked, staging not cleared or read back, no client list
  kExitFileNotWritten = 4,  ///< the download file (or a batch's report, metrics or log) not written
  kExitRecordsMissing = 5,  ///< file written, but a read or insert failed: records may be wrong
  kExitStopped = 6,         ///< batch only: stopped by a signal before every job ran
  kExitJobRefused = 7,      ///< batch only: a job ended 1 (an unknown terminal), all others 0
  kExitHeld = 8,     ///< the new file would remove too many badges: held back, the old file stays
  kExitRefused = 9,  ///< batch only: another batch runs the job file or writes the log folder
};

}  // namespace varnoklis
