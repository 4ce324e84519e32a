#pragma once

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
  /// Takes over the descriptor of `other`.
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}

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

/// Appends to `bytes` what `fd` reads until its end; false on a read error.
bool read_whole(int fd, std::string& bytes);

/// Copies the whole of `from`, from its start, to `to` at its current position; false on an error.
bool copy_all(int from, int to);

/// Appends the whole file `path` to `bytes`; 0, or the errno of the failed open or read (a
/// folder opens but cannot be read).
int read_whole_file(const std::string& path, std::string& bytes);

/// The folder that holds `file` ("." for a bare name).
std::string folder_of(const std::string& file);

/// Creates a new file (mode 0600) named after `name`, a pattern ending in `XXXXXX`, which is
/// replaced by the name made; -1, with `name` emptied, on failure.
int create_temporary(std::string& name);

/// Syncs the folder that holds `file`, so that a rename or creation in it survives a power loss.
bool sync_folder_of(const std::string& file);

/// The name a missing file would get through `path`: symbolic links followed by their text.
std::string missing_file_name(const std::string& path);

/// The name the kernel reached through the open descriptor `fd`; `fallback` when unknown.
std::string resolved_name(int fd, const std::string& fallback);

/// The file `path` names, its symbolic links followed: as the kernel reached it where it exists,
/// as missing_file_name gives it where it is missing, `path` where the kernel refuses the path.
std::string resolved_file(const std::string& path);

}  // namespace varnoklis
