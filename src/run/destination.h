#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <utility>

namespace varnoklis {

/// An open file descriptor, closed with the object.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  /// Takes ownership of `fd` (-1: none).
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  /// The descriptor, or -1.
  int get() const { return fd_; }
  /// Whether a descriptor is held.
  bool ok() const { return fd_ >= 0; }
  /// Closes the descriptor; false when the close reported an error.
  bool close();
  /// Replaces the descriptor, closing the previous one.
  void reset(int fd);
  /// Gives up ownership and returns the descriptor.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

/// Writes all of `data` to `fd`; false on any error.
bool write_all(int fd, const char* data, std::size_t size);

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

  /// Opens the download file at `path` as a plain open for writing would (new or append);
  /// false where that open fails: the folder missing or not writable for a new file, the path a
  /// folder, no write permission on the file, a loop of symbolic links.
  bool open(const std::string& path, bool new_file);
  /// The file to collect the records in; -1 when none could be made.
  int collector() const { return collector_.get(); }
  /// Moves the collected records into the download file. False when that failed; the download
  /// file is then as it was before.
  bool commit();

 private:
  bool open_existing(bool new_file);
  bool make_temp_beside();
  bool replace();
  bool overwrite();
  bool append();

  std::string file_;  // the download file, with symbolic links followed
  Way way_ = Way::Replace;
  FileDescriptor out_;     // InPlace and Append: the download file, opened for writing
  struct stat before_ {};  // InPlace and Append: the download file when it was opened
  FileDescriptor collector_;
  std::string temp_name_;  // Replace: the name of the collector beside the download file
};

}  // namespace varnoklis
