#include "run/destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "run/journal.h"

namespace varnoklis {

namespace fs = std::filesystem;

namespace {

bool cut_to(int fd, off_t length) {
  return ::ftruncate(fd, length) == 0;
}

// A file without a name for data of the run alone: in `folder` when it can take one, else in
// the system's temporary folder (for a download file in a folder the user cannot write). `used`
// is the folder tried last.
int scratch_file(const std::string& folder, std::string& used) {
  std::error_code error;
  int fd = -1;
  for (const fs::path& dir : {fs::path(folder), fs::temp_directory_path(error)}) {
    if (dir.empty() || fd >= 0) continue;
    used = dir.string();
    fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  }
  return fd;
}

// A copy of the file's present content, to write back when an overwrite fails; -1 with the
// reason when the file cannot be read or no copy can be made.
int keep_aside(const std::string& file, FileFailure& failure) {
  FileDescriptor in(::open(file.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!in.ok()) return fail(failure, "Datei", file, errno), -1;
  std::string folder;
  FileDescriptor copy(scratch_file(folder_of(file), folder));
  if (!copy.ok() || !copy_all(in.get(), copy.get())) {
    return fail(failure, "Ordner", folder, errno), -1;
  }
  return copy.release();
}

// The mask is read, not set and reset: a change of the mask would reach every thread.
mode_t new_file_mode() {
  std::ifstream status("/proc/self/status");
  unsigned long mask = 022;
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("Umask:")) mask = std::strtoul(line.c_str() + 6, nullptr, 8);
  }
  return static_cast<mode_t>(0666 & ~mask);
}

bool writable_folder(const std::string& file) {
  return ::faccessat(AT_FDCWD, folder_of(file).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Extended attributes that a replacement carries over: POSIX ACLs, user and security labels.
bool carried_attribute(std::string_view name) {
  return name.starts_with("user.") || name.starts_with("security.") ||
         name == "system.posix_acl_access";
}

// Copies the carried attributes of `from` that this user can read; false when one cannot be set.
bool copy_attributes(int from, int to) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size <= 0) return true;
  std::string names(static_cast<std::size_t>(size), '\0');
  size = ::flistxattr(from, names.data(), names.size());
  if (size < 0) return true;
  names.resize(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    if (!carried_attribute(name)) continue;
    ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    std::string value(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length < 0 || ::fgetxattr(from, name, value.data(), value.size()) != length) continue;
    if (::fsetxattr(to, name, value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

}  // namespace

int create_marked_temporary(const std::string& file, std::string& name) {
  name =
      (fs::path(folder_of(file)) / ("." + fs::path(file).filename().string() + ".varnoklis-XXXXXX"))
          .string();
  return create_temporary(name);
}

std::string held_name(const std::string& file) {
  return (fs::path(folder_of(file)) /
          ("." + fs::path(file).filename().string() + ".varnoklis-held"))
      .string();
}

Destination::~Destination() {
  collector_.close();
  if (!temp_name_.empty()) ::unlink(temp_name_.c_str());
}

// The kernel follows the links, with its own protections: an O_PATH open reaches the file as
// the plain open would, and an open with O_CREAT (which alone applies the protections of
// regular files and FIFOs in sticky folders) but without O_TRUNC changes nothing.
bool Destination::open(const std::string& path, bool new_file, const std::string& state_folder) {
  path_ = path;
  if (path.empty()) return false;
  FileDescriptor probe(::open(path.c_str(), O_PATH | O_CLOEXEC));
  if (!probe.ok()) {
    if (errno != ENOENT) return fail(failure_, "Datei", path, errno);
    file_ = missing_file_name(path);
    way_ = Way::Replace;
    collector_.reset(create_marked_temporary(file_, temp_name_));
    return collector_.ok() || fail(failure_, "Ordner", folder_of(file_), errno);
  }
  file_ = resolved_name(probe.get(), path);
  if (::fstat(probe.get(), &before_) != 0) return fail(failure_, "Datei", file_, errno);
  if (S_ISDIR(before_.st_mode)) return fail(failure_, "Datei", path, EISDIR);
  out_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  if (!out_.ok() && !(errno == ENXIO && S_ISFIFO(before_.st_mode))) {
    return fail(failure_, "Datei", file_, errno);
  }
  existed_ = true;
  // A plain file with no other name is replaced, with its owner, group, mode and attributes;
  // one whose attributes this user cannot give a new file is written in place instead.
  if (new_file && S_ISREG(before_.st_mode) && before_.st_nlink == 1 && writable_folder(file_)) {
    collector_.reset(create_marked_temporary(file_, temp_name_));
    if (collector_.ok() && take_over_attributes()) {
      way_ = Way::Replace;
      return true;
    }
    collector_.close();
    if (!temp_name_.empty()) ::unlink(temp_name_.c_str());
    temp_name_.clear();
  }
  return open_existing(new_file, state_folder);
}

bool Destination::take_over_attributes() {
  int fd = collector_.get();
  if ((before_.st_uid != ::geteuid() || before_.st_gid != ::getegid()) &&
      ::fchown(fd, before_.st_uid, before_.st_gid) != 0) {
    return false;
  }
  // The mode comes last: a change of owner clears the set-user-ID and set-group-ID bits.
  return copy_attributes(out_.get(), fd) && ::fchmod(fd, before_.st_mode & 07777) == 0;
}

bool Destination::open_existing(bool new_file, const std::string& state_folder) {
  way_ = new_file ? Way::InPlace : Way::Append;
  // A FIFO without a reader refused the probe's non-blocking open; the plain open waits for one.
  if (!out_.ok()) out_.reset(::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!out_.ok()) return fail(failure_, "Datei", file_, errno);
  int flags = ::fcntl(out_.get(), F_GETFL);
  flags = (flags & ~O_NONBLOCK) | (new_file ? 0 : O_APPEND);
  if (::fcntl(out_.get(), F_SETFL, flags) != 0 || ::fstat(out_.get(), &before_) != 0) {
    return fail(failure_, "Datei", file_, errno);
  }
  if (S_ISREG(before_.st_mode)) {
    journal_ = journal_name(file_, state_folder, before_.st_dev, before_.st_ino, failure_);
    if (journal_.empty()) return false;
  }
  collector_.reset(scratch_file(folder_of(file_), collector_folder_));
  if (!collector_.ok()) fail(failure_, "Ordner", collector_folder_, errno);
  return true;
}

// A close that fails after a good write is the reason; after a failed one, the write's stays.
bool Destination::close_file(bool ok) {
  bool closed = out_.close();
  if (!closed && ok) fail(failure_, "Datei", file_, errno);
  return closed && ok;
}

void Destination::collector_failed(int error) {
  if (temp_name_.empty()) {
    fail(failure_, "Ordner", collector_folder_, error);
  } else {
    fail(failure_, "Temporaere Datei", temp_name_, error);
  }
}

bool Destination::commit() {
  bool ok = false;
  switch (way_) {
    case Way::Replace:
      ok = replace();
      break;
    case Way::InPlace:
      ok = overwrite();
      break;
    case Way::Append:
      return append();
  }
  if (ok) drop_held();
  return ok;
}

int Destination::open_previous() const {
  if (!existed_ || way_ == Way::Append || !S_ISREG(before_.st_mode)) return -1;
  return ::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// The held file is made as the replacement would be, marked and with the file's attributes, and
// renamed under its own name instead of the file's; a kill before the rename leaves only a
// marked temporary, which the next run removes.
bool Destination::hold(std::string& held_file) {
  held_file.clear();
  if (way_ != Way::Replace) return true;
  std::string name = held_name(file_);
  if (::fsync(collector_.get()) != 0 || !collector_.close()) {
    return fail(failure_, "Temporaere Datei", temp_name_, errno);
  }
  if (::rename(temp_name_.c_str(), name.c_str()) != 0) {
    return fail(failure_, "Ordner", folder_of(name), errno);
  }
  temp_name_.clear();
  held_file = name;
  // The old file stays whatever comes of the sync: a held file that a power loss takes only
  // waits for the next night.
  sync_folder_of(name);
  return true;
}

// A file put in place ends what an earlier night held back; its removal need not survive a
// power loss, since a held file left over only waits for the next release.
void Destination::drop_held() const {
  if (S_ISREG(before_.st_mode) || !existed_) ::unlink(held_name(file_).c_str());
}

bool Destination::replace() {
  bool ok = (existed_ || ::fchmod(collector_.get(), new_file_mode()) == 0) &&
            ::fsync(collector_.get()) == 0 && collector_.close();
  if (!ok) return fail(failure_, "Temporaere Datei", temp_name_, errno);
  if (::rename(temp_name_.c_str(), file_.c_str()) != 0) {
    return fail(failure_, "Ordner", folder_of(file_), errno);
  }
  temp_name_.clear();
  return sync_folder_of(file_) || fail(failure_, "Ordner", folder_of(file_), errno);
}

// The journal holds the new content before the first byte is overwritten, so a run killed in
// the middle is finished by the next run for the path. A write that fails while the run goes on
// is taken back from a copy of the old content. A FIFO or device takes the records as they come.
bool Destination::overwrite() {
  bool regular = S_ISREG(before_.st_mode);
  FileDescriptor saved(regular ? keep_aside(file_, failure_) : -1);
  if (regular &&
      (!saved.ok() || !write_journal(journal_, out_.get(), file_, collector_.get(), 0, failure_))) {
    return false;
  }
  off_t length = ::lseek(collector_.get(), 0, SEEK_END);
  bool ok = length >= 0 && (!regular || ::lseek(out_.get(), 0, SEEK_SET) == 0) &&
            copy_all(collector_.get(), out_.get()) &&
            (!regular || (cut_to(out_.get(), length) && ::fsync(out_.get()) == 0));
  if (!ok) fail(failure_, "Datei", file_, errno);
  bool restored = !ok && regular && ::lseek(out_.get(), 0, SEEK_SET) == 0 &&
                  copy_all(saved.get(), out_.get()) && cut_to(out_.get(), before_.st_size) &&
                  ::fsync(out_.get()) == 0;
  if (regular && (ok || restored)) drop_journal(journal_);
  return close_file(ok);
}

// The journal holds the old length, taken right before it is written, so that what another
// writer added since the open is kept: a failed or interrupted append is cut back to exactly that
// length, never below it.
bool Destination::append() {
  bool regular = S_ISREG(before_.st_mode);
  if (regular && ::fstat(out_.get(), &before_) != 0) return fail(failure_, "Datei", file_, errno);
  if (regular && !write_journal(journal_, out_.get(), file_, -1, before_.st_size, failure_)) {
    return false;
  }
  bool ok = copy_all(collector_.get(), out_.get()) && (!regular || ::fsync(out_.get()) == 0);
  if (!ok) fail(failure_, "Datei", file_, errno);
  bool taken_back =
      !ok && regular && cut_to(out_.get(), before_.st_size) && ::fsync(out_.get()) == 0;
  if (regular && (ok || taken_back)) drop_journal(journal_);
  return close_file(ok);
}

}  // namespace varnoklis
