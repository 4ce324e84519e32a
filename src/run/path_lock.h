#pragma once

#include <string>

namespace varnoklis {

/// An exclusive lock on one download-file path, held from the clearing of its staging rows to
/// the end of the write, so that two runs for the same path take turns instead of mixing their
/// records. It is the `flock` of the file `<path>.lock` beside the download file, or, where that
/// file can be neither created nor opened, of the download file itself.
class PathLock {
 public:
  PathLock() = default;
  ~PathLock();
  PathLock(const PathLock&) = delete;
  PathLock& operator=(const PathLock&) = delete;

  /// Waits until the lock of `path` is free and takes it; false when neither the lock file nor
  /// the download file can be opened and locked.
  bool acquire(const std::string& path);

 private:
  int fd_ = -1;
};

}  // namespace varnoklis
