#include "run/download_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "db/staging.h"
#include "base/output.h"

namespace varnoklis {

namespace fs = std::filesystem;

void shape_record(std::string& record, const DownloadFormat& format) {
  if (record.size() < format.record_length)
    record.append(format.record_length - record.size(), ' ');
  if (!format.line_end) return;
  // The file follows the Windows text convention: every line feed is stored as CR LF.
  if (record.find('\n') == std::string::npos) record += '\n';
  for (std::size_t pos = record.find('\n'); pos != std::string::npos;
       pos = record.find('\n', pos + 2)) {
    record.insert(pos, 1, '\r');
  }
}

namespace {

// Writes all of `data`; false on any error.
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

// The temporary file the records are collected in, in the folder of the download file so that
// the rename that replaces the download file stays within one file system. Removed unless kept.
class TempFile {
 public:
  explicit TempFile(const std::string& path) {
    fs::path target(path);
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    name_ = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    fd_ = mkstemp(name_.data());
    if (fd_ < 0) name_.clear();
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& name() const { return name_; }
  // Closes the file and reports whether everything written reached it.
  bool finish() {
    bool synced = ::fsync(fd_) == 0;
    bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return synced && closed;
  }
  void release() { name_.clear(); }

 private:
  std::string name_;
  int fd_ = -1;
};

// Buffers the shaped records and writes them to a file descriptor in large blocks.
class BlockWriter {
 public:
  explicit BlockWriter(int fd) : fd_(fd) { buffer_.reserve(kBlock); }
  bool add(const std::string& text) {
    buffer_ += text;
    return buffer_.size() < kBlock || flush();
  }
  bool flush() {
    bool ok = write_all(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
  }

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  int fd_;
  std::string buffer_;
};

// Reads the staged records into the temporary file. 0 when complete, else the failing result.
int collect_records(Session& session, const std::string& path, const DownloadFormat& format, int fd,
                    bool& write_ok) {
  ReadBack read_back;
  int result = read_back.open(session, path);
  if (result != 0) return result;
  BlockWriter writer(fd);
  std::string record;
  write_ok = true;
  while ((result = read_back.fetch(record)) == 0) {
    shape_record(record, format);
    write_ok = writer.add(record) && write_ok;
  }
  read_back.close();
  write_ok = writer.flush() && write_ok;
  return result == 100 ? 0 : result;
}

mode_t file_mode_for(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Appends the collected file to the download file; on failure the download file is cut back
// to its old length, so it holds all new records or none.
bool append_collected(const std::string& collected, const std::string& path) {
  int in = ::open(collected.c_str(), O_RDONLY);
  int out = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
  bool ok = in >= 0 && out >= 0;
  struct stat before {};
  ok = ok && ::fstat(out, &before) == 0;
  char buffer[1 << 16];
  ssize_t n = 0;
  while (ok && (n = ::read(in, buffer, sizeof buffer)) > 0) {
    ok = write_all(out, buffer, static_cast<std::size_t>(n));
  }
  ok = ok && n == 0 && ::fsync(out) == 0;
  if (!ok && out >= 0 && ::ftruncate(out, before.st_size) != 0) ok = false;
  if (in >= 0) ::close(in);
  if (out >= 0 && ::close(out) != 0) ok = false;
  return ok;
}

}  // namespace

WriteResult write_download_file(Session& session, const std::string& path,
                                const DownloadFormat& format) {
  std::error_code error;
  TempFile temp(path);
  if (!temp.ok() || fs::is_directory(path, error)) {
    print("Downloadfile %s konnte nicht geoeffnet werden!\n", path.c_str());
    return WriteResult::OpenFailed;
  }
  bool write_ok = false;
  int result = collect_records(session, path, format, temp.fd(), write_ok);
  if (result != 0) {
    print("Error Tab. Kvx999Tmp lesen! ErrNr: %d User: %s\n", result, path.c_str());
    return WriteResult::ReadBackFailed;
  }
  write_ok = temp.finish() && write_ok;
  if (write_ok) {
    if (format.new_file) {
      write_ok = ::chmod(temp.name().c_str(), file_mode_for(path)) == 0 &&
                 ::rename(temp.name().c_str(), path.c_str()) == 0;
      if (write_ok) temp.release();
    } else {
      write_ok = append_collected(temp.name(), path);
    }
  }
  if (!write_ok) {
    print("Downloadfile %s konnte nicht geschrieben werden!\n", path.c_str());
    return WriteResult::WriteFailed;
  }
  return WriteResult::Written;
}

}  // namespace varnoklis
