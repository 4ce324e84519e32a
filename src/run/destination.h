#pragma once

#include <sys/stat.h>

#include <string>

#include "base/files.h"
#include "run/file_failure.h"

namespace varnoklis {

/// Creates `.NAME.varnoklis-XXXXXX` (mode 0600) beside `file`, its name in `name`; -1 on failure.
int create_marked_temporary(const std::string& file, std::string& name);

/// The held file of the download file `file` (symbolic links resolved): `.NAME.varnoklis-held`
/// beside it.
std::string held_name(const std::string& file);

/// How the collected records reach the download file.
enum class Way {
  Replace,  ///< a new file beside the download file is renamed over it in one step
  InPlace,  ///< the existing file is overwritten and cut to the new length
  Append,   ///< the records are added at the end of the existing file
};

/// The download file of one run, from the open before the read-back to the final write. The
/// records are first collected in a file of their own; only a complete collection is committed.
class Destination {
 public:
  Destination() = default;
  ~Destination();
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  /// Opens the download file at `path` as a plain open for writing would (new or append), with
  /// the kernel's protections of links; false where that open fails: the folder missing or not
  /// writable for a new file, the path a folder, no write permission on the file, a loop of
  /// symbolic links, a link the kernel refuses, no place for the journal of an in-place write.
  /// `state_folder` is the machine's state folder, empty when there is none.
  bool open(const std::string& path, bool new_file, const std::string& state_folder);
  /// The file to collect the records in; -1 when none could be made.
  int collector() const { return collector_.get(); }
  /// Records that writing to the collector failed with `error`.
  void collector_failed(int error);
  /// Moves the collected records into the download file, then removes a held file of the path
  /// unless they were appended. False when that failed; the download file is then as it was
  /// before.
  bool commit();
  /// Why open or commit failed, or why there is no collector; no object for an empty path.
  const FileFailure& failure() const { return failure_; }
  /// A new read-only descriptor of the regular file that a new file replaces (written in
  /// place or not); -1 on a first run, an append, a FIFO or device, or when it cannot be read.
  int open_previous() const;
  /// Keeps the collected records beside the file as its held file, `held_name(file)`, instead
  /// of putting them in place, with the file's attributes. True when that was done (`held_file`
  /// names it) or when the file is written in place (no held file: `held_file` empty).
  bool hold(std::string& held_file);

 private:
  bool open_existing(bool new_file, const std::string& state_folder);
  bool take_over_attributes();
  bool replace();
  bool overwrite();
  bool append();
  void drop_held() const;
  bool close_file(bool ok);

  std::string path_;  // the download file as named
  std::string file_;  // the download file, with symbolic links followed
  Way way_ = Way::Replace;
  FileDescriptor out_;     // the existing download file, opened for writing where it could be
  struct stat before_ {};  // the existing download file when it was opened
  bool existed_ = false;
  FileDescriptor collector_;
  std::string temp_name_;         // Replace: the name of the collector beside the download file
  std::string journal_;           // InPlace and Append of a plain file: where its journal goes
  std::string collector_folder_;  // InPlace and Append: where the nameless collector was made
  FileFailure failure_;
};

}  // namespace varnoklis
