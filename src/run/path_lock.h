#pragma once

#include <string>
#include <vector>

#include "base/files.h"
#include "run/file_failure.h"

namespace varnoklis {

/// Where and how long a run waits for the locks of its download file.
struct LockSettings {
  std::string state_dir = "/var/lib/varnoklis";  ///< the machine's state folder
  int wait_seconds = 600;                        ///< how long a held lock is waited for
};

/// Reads `VARNOKLIS_STATE_DIR` and `VARNOKLIS_LOCK_WAIT` (unset or empty: the defaults); prints
/// the parameter message and returns false for a wait that is not a whole number 0 to 86400.
bool read_lock_settings(LockSettings& settings);

struct LockWait;

/// The exclusive locks of one download-file path, held from the repair of an interrupted write
/// and the clearing of its staging rows to the end of the write, so that runs for the same path,
/// the same staging key or the same file take turns instead of mixing their records. They are
/// the `flock`s of `<file>.lock` beside the file the path reaches through its symbolic links (or,
/// where no such file exists and none can be made, of the download file itself), and in the state
/// folder of the folded staging key and of the file's device and inode. Each object holds its own
/// descriptors, so threads of one process that lock the same path also take turns. A state-folder
/// lock of a file that is gone by the end (a replace gave the path a new file) is removed.
class PathLock {
 public:
  PathLock() = default;
  ~PathLock();
  PathLock(const PathLock&) = delete;
  PathLock& operator=(const PathLock&) = delete;

  /// Takes every lock of `path`, announcing a held one and waiting up to the settings' deadline;
  /// false when a lock file cannot be opened or is not a regular file (the reason in failure()),
  /// or the deadline passed (no reason). `state_folder` is the usable state folder, empty when
  /// there is none.
  bool acquire(const std::string& path, const std::string& state_folder = {},
               const LockSettings& settings = {});
  /// Why the last acquire failed; no object after a deadline.
  const FileFailure& failure() const { return failure_; }

 private:
  struct Held {
    FileDescriptor lock;
    std::string name;     // the lock file's name, empty for the download file itself
    FileDescriptor file;  // for a lock of a file: that file (O_PATH), to tell whether it is gone
  };
  enum class Taken { Locked, Missing, Failed };

  Taken take(const std::string& name, LockWait& wait, FileDescriptor& fd);
  void release();

  std::vector<Held> held_;
  FileFailure failure_;
};

/// The step every run (or every job of a batch) takes for its download file right after its
/// parameters are checked, before the configuration is read or the database is reached: takes
/// the locks of `path` into `lock`, removes the temporary files that killed runs left, and
/// finishes or takes back an interrupted write. Prints the message and returns false when the
/// run must stop (exit status 4). `state_folder` receives the usable state folder.
bool take_download_path(const std::string& path, const LockSettings& settings, PathLock& lock,
                        std::string& state_folder);

}  // namespace varnoklis
