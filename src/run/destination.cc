#include "run/destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace varnoklis {

namespace fs = std::filesystem;

bool FileDescriptor::close() {
  int fd = std::exchange(fd_, -1);
  return fd < 0 || ::close(fd) == 0;
}

void FileDescriptor::reset(int fd) {
  close();
  fd_ = fd;
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

// As many links as the system itself follows before it reports a loop.
constexpr int kMaxLinks = 40;

// Copies the whole of `from` to `to`, at the current position of `to`.
bool copy_all(int from, int to) {
  if (::lseek(from, 0, SEEK_SET) != 0) return false;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || !write_all(to, buffer, static_cast<std::size_t>(n))) return false;
  }
}

bool cut_to(int fd, off_t length) {
  return ::ftruncate(fd, length) == 0;
}

std::string folder_of(const std::string& file) {
  fs::path parent = fs::path(file).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// The file a path names: a symbolic link is followed to its target, which need not exist yet.
bool follow_links(const std::string& path, std::string& file) {
  file = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::error_code error;
    fs::path target = fs::read_symlink(file, error);
    if (error) return false;
    file = target.is_absolute() ? target.string() : (fs::path(folder_of(file)) / target).string();
  }
  return false;
}

// A file without a name for data of the run alone: in `folder` when it can take one, else in
// the system's temporary folder (for a download file in a folder the user cannot write).
int scratch_file(const std::string& folder) {
  std::error_code error;
  for (const fs::path& dir : {fs::path(folder), fs::temp_directory_path(error)}) {
    if (dir.empty()) continue;
    std::string name = (dir / ".varnoklis.XXXXXX").string();
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) continue;
    ::unlink(name.c_str());
    return fd;
  }
  return -1;
}

// A copy of the file's present content, to write back when an overwrite fails; -1 when the
// file cannot be read or no copy can be made.
int keep_aside(const std::string& file) {
  FileDescriptor in(::open(file.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
  FileDescriptor copy(scratch_file(folder_of(file)));
  if (!in.ok() || !copy.ok() || !copy_all(in.get(), copy.get())) return -1;
  return copy.release();
}

mode_t new_file_mode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

Destination::~Destination() {
  collector_.close();
  if (!temp_name_.empty()) ::unlink(temp_name_.c_str());
}

bool Destination::open(const std::string& path, bool new_file) {
  if (path.empty() || !follow_links(path, file_)) return false;
  struct stat info {};
  if (::stat(file_.c_str(), &info) != 0) {
    // A missing file is made whole in either mode: a new file beside it, then renamed.
    way_ = Way::Replace;
    return errno == ENOENT && make_temp_beside();
  }
  if (S_ISDIR(info.st_mode)) return false;
  // A plain open for writing needs write permission on the file, whatever the folder allows.
  if (::faccessat(AT_FDCWD, file_.c_str(), W_OK, AT_EACCESS) != 0) return false;
  // Only a plain file of the running user with no other name is replaced: a replacement would
  // detach its other hard links, lose a FIFO or device, and hand the file to another owner.
  if (new_file && S_ISREG(info.st_mode) && info.st_nlink == 1 && info.st_uid == ::geteuid() &&
      make_temp_beside()) {
    way_ = Way::Replace;
    return true;
  }
  return open_existing(new_file);
}

bool Destination::open_existing(bool new_file) {
  way_ = new_file ? Way::InPlace : Way::Append;
  out_.reset(::open(file_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (new_file ? 0 : O_APPEND)));
  if (!out_.ok() || ::fstat(out_.get(), &before_) != 0) return false;
  collector_.reset(scratch_file(folder_of(file_)));
  return true;
}

bool Destination::make_temp_beside() {
  temp_name_ =
      (fs::path(folder_of(file_)) / ("." + fs::path(file_).filename().string() + ".XXXXXX"))
          .string();
  collector_.reset(::mkostemp(temp_name_.data(), O_CLOEXEC));
  if (!collector_.ok()) temp_name_.clear();
  return collector_.ok();
}

bool Destination::commit() {
  switch (way_) {
    case Way::Replace:
      return replace();
    case Way::InPlace:
      return overwrite();
    case Way::Append:
      return append();
  }
  return false;
}

// The replacement keeps the permissions of the file it replaces.
bool Destination::replace() {
  struct stat old {};
  mode_t mode = ::stat(file_.c_str(), &old) == 0 ? (old.st_mode & 07777) : new_file_mode();
  bool ok = ::fchmod(collector_.get(), mode) == 0 && ::fsync(collector_.get()) == 0 &&
            collector_.close() && ::rename(temp_name_.c_str(), file_.c_str()) == 0;
  if (ok) temp_name_.clear();
  return ok;
}

// An overwrite cannot be taken back by the file system, so the old content is copied aside first
// and written back when the new content does not reach the file completely. A FIFO or device
// takes the records as they come.
bool Destination::overwrite() {
  bool regular = S_ISREG(before_.st_mode);
  FileDescriptor saved(regular ? keep_aside(file_) : -1);
  if (regular && !saved.ok()) return false;
  off_t length = ::lseek(collector_.get(), 0, SEEK_END);
  bool ok = length >= 0 && copy_all(collector_.get(), out_.get()) &&
            (!regular || (cut_to(out_.get(), length) && ::fsync(out_.get()) == 0));
  if (!ok && regular && ::lseek(out_.get(), 0, SEEK_SET) == 0 &&
      copy_all(saved.get(), out_.get())) {
    cut_to(out_.get(), before_.st_size);
    ::fsync(out_.get());
  }
  return out_.close() && ok;
}

// The old length was taken when the file was opened, before anything was written: a failed
// append cuts the file back to exactly that length, never below it.
bool Destination::append() {
  bool regular = S_ISREG(before_.st_mode);
  bool ok = copy_all(collector_.get(), out_.get()) && (!regular || ::fsync(out_.get()) == 0);
  if (!ok && regular) cut_to(out_.get(), before_.st_size);
  return out_.close() && ok;
}

}  // namespace varnoklis
