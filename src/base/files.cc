#include "base/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace varnoklis {

namespace fs = std::filesystem;

namespace {

// As many links as the system itself follows before it reports a loop.
constexpr int kMaxLinks = 40;

}  // namespace

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

bool read_whole(int fd, std::string& bytes) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

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

int read_whole_file(const std::string& path, std::string& bytes) {
  FileDescriptor in(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
  if (!in.ok() || !read_whole(in.get(), bytes)) return errno != 0 ? errno : EIO;
  return 0;
}

std::string folder_of(const std::string& file) {
  fs::path parent = fs::path(file).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

int create_temporary(std::string& name) {
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) name.clear();
  return fd;
}

bool sync_folder_of(const std::string& file) {
  FileDescriptor folder(::open(folder_of(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.ok() && ::fsync(folder.get()) == 0 && folder.close();
}

std::string missing_file_name(const std::string& path) {
  std::string file = path;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    std::error_code error;
    fs::path target = fs::read_symlink(file, error);
    if (error) return file;
    file = target.is_absolute() ? target.string() : (fs::path(folder_of(file)) / target).string();
  }
  return file;
}

std::string resolved_name(int fd, const std::string& fallback) {
  std::error_code error;
  fs::path name = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
  return error || !name.is_absolute() ? fallback : name.string();
}

// A link that the kernel refuses to follow is not followed here either: its target's folder may be
// anyone's choice.
std::string resolved_file(const std::string& path) {
  FileDescriptor probe(::open(path.c_str(), O_PATH | O_CLOEXEC));
  if (probe.ok()) return resolved_name(probe.get(), path);
  return errno == ENOENT ? missing_file_name(path) : path;
}

}  // namespace varnoklis
