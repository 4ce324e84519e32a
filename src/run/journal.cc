#include "run/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/output.h"
#include "run/destination.h"

namespace varnoklis {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "VARNOKLIS-JOURNAL 1";
constexpr char kMarker[] = ".varnoklis-";

// FNV-1a over the header fields and the content: enough to tell a journal that is not the one a
// run wrote, since a journal only ever appears whole through a rename.
std::uint64_t checksum(const char* data, std::size_t size, std::uint64_t hash) {
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(data[i]);
    hash *= 1099511628211ULL;
  }
  return hash;
}

constexpr std::uint64_t kChecksumStart = 14695981039346656037ULL;

std::string header_fields(char kind, dev_t device, ino_t inode, off_t length) {
  char text[128];
  std::snprintf(text, sizeof text, "%s %c %ju %ju %jd", kMagic, kind, std::uintmax_t{device},
                std::uintmax_t{inode}, std::intmax_t{length});
  return text;
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

struct Entry {
  char kind = 0;  // 'I': overwrite with the content; 'A': cut back to the length
  dev_t device = 0;
  ino_t inode = 0;
  off_t length = 0;
  std::string content;
};

bool parse_journal(const std::string& bytes, Entry& entry) {
  std::size_t end = bytes.find('\n');
  if (end == std::string::npos) return false;
  std::uintmax_t device = 0, inode = 0;
  std::intmax_t length = 0;
  std::uint64_t sum = 0;
  char kind = 0;
  std::string header = bytes.substr(0, end);
  if (std::sscanf(header.c_str(), "VARNOKLIS-JOURNAL 1 %c %ju %ju %jd %" SCNx64, &kind, &device,
                  &inode, &length, &sum) != 5 ||
      (kind != 'I' && kind != 'A') || length < 0) {
    return false;
  }
  entry = {kind, static_cast<dev_t>(device), static_cast<ino_t>(inode), static_cast<off_t>(length),
           bytes.substr(end + 1)};
  std::string fields = header_fields(kind, entry.device, entry.inode, entry.length);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016" PRIx64, sum);
  if (header != fields + " " + hex) return false;
  std::uint64_t expected = checksum(fields.data(), fields.size(), kChecksumStart);
  expected = checksum(entry.content.data(), entry.content.size(), expected);
  bool sized = kind == 'A' ? entry.content.empty()
                           : entry.content.size() == static_cast<std::size_t>(entry.length);
  return sized && expected == sum;
}

// Only a journal that this user or root wrote and nobody else can change may steer a write.
bool trusted_owner(const struct stat& info) {
  return S_ISREG(info.st_mode) && (info.st_uid == ::geteuid() || info.st_uid == 0) &&
         (info.st_mode & 022) == 0;
}

bool apply_journal(const std::string& path, const Entry& entry) {
  FileDescriptor out(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!out.ok()) return false;
  bool ok = true;
  if (entry.kind == 'I') {
    ok = ::lseek(out.get(), 0, SEEK_SET) == 0 &&
         write_all(out.get(), entry.content.data(), entry.content.size());
  }
  ok = ok && ::ftruncate(out.get(), entry.length) == 0 && ::fsync(out.get()) == 0;
  return out.close() && ok;
}

// One journal candidate: absent is fine; present, it must be trusted and must name the file.
bool repair_from(const std::string& path, const std::string& journal) {
  FileDescriptor in(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!in.ok() && errno == ENOENT) return true;
  if (!in.ok()) {
    print("Downloadfile %s konnte nicht geoeffnet werden!\n", path.c_str());
    return false;
  }
  struct stat info {};
  struct stat file {};
  std::string bytes;
  Entry entry;
  if (::fstat(in.get(), &info) != 0 || !trusted_owner(info) || !read_whole(in.get(), bytes) ||
      !parse_journal(bytes, entry) || ::stat(path.c_str(), &file) != 0 ||
      file.st_dev != entry.device || file.st_ino != entry.inode || !S_ISREG(file.st_mode) ||
      (entry.kind == 'A' && entry.length > file.st_size)) {
    print("Journal %s zu Downloadfile %s ist ungueltig!\n", journal.c_str(), path.c_str());
    return false;
  }
  if (!apply_journal(path, entry)) {
    print("Downloadfile %s konnte nicht geschrieben werden!\n", path.c_str());
    return false;
  }
  drop_journal(journal);
  return true;
}

std::string state_journal(const std::string& state_folder, dev_t device, ino_t inode) {
  char name[96];
  std::snprintf(name, sizeof name, "file-%ju-%ju.journal", std::uintmax_t{device},
                std::uintmax_t{inode});
  return (fs::path(state_folder) / name).string();
}

}  // namespace

std::string usable_state_folder(const std::string& state_dir) {
  if (state_dir.empty()) return {};
  if (::mkdir(state_dir.c_str(), 0755) != 0 && errno != EEXIST) return {};
  struct stat info {};
  if (::stat(state_dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      ::faccessat(AT_FDCWD, state_dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return {};
  }
  return state_dir;
}

std::string journal_name(const std::string& path, const std::string& state_folder, dev_t device,
                         ino_t inode) {
  if (::faccessat(AT_FDCWD, folder_of(path).c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
    return path + ".journal";
  }
  return state_folder.empty() ? std::string() : state_journal(state_folder, device, inode);
}

bool write_journal(const std::string& name, int fd, int content_fd, off_t old_length) {
  struct stat file {};
  if (::fstat(fd, &file) != 0) return false;
  std::string content;
  if (content_fd >= 0 &&
      (::lseek(content_fd, 0, SEEK_SET) != 0 || !read_whole(content_fd, content)))
    return false;
  off_t length = content_fd >= 0 ? static_cast<off_t>(content.size()) : old_length;
  std::string fields = header_fields(content_fd >= 0 ? 'I' : 'A', file.st_dev, file.st_ino, length);
  std::uint64_t sum = checksum(content.data(), content.size(),
                               checksum(fields.data(), fields.size(), kChecksumStart));
  char hex[20];
  std::snprintf(hex, sizeof hex, " %016" PRIx64 "\n", sum);
  std::string temp;
  FileDescriptor out(create_marked_temporary(name, temp));
  std::string header = fields + hex;
  bool ok = out.ok() && write_all(out.get(), header.data(), header.size()) &&
            write_all(out.get(), content.data(), content.size()) && ::fsync(out.get()) == 0 &&
            out.close() && ::rename(temp.c_str(), name.c_str()) == 0 && sync_folder_of(name);
  if (!ok && !temp.empty()) ::unlink(temp.c_str());
  return ok;
}

bool drop_journal(const std::string& name) {
  return ::unlink(name.c_str()) == 0 && sync_folder_of(name);
}

void remove_stale_temporaries(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = "." + name + kMarker;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view found = entry->d_name;
    if (found.size() == prefix.size() + 6 && found.starts_with(prefix)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

bool repair_download_file(const std::string& path, const std::string& state_folder) {
  std::string file = missing_file_name(path);
  FileDescriptor probe(::open(path.c_str(), O_PATH | O_CLOEXEC));
  if (probe.ok()) file = resolved_name(probe.get(), file);
  remove_stale_temporaries(folder_of(path), fs::path(path).filename().string());
  remove_stale_temporaries(folder_of(path), fs::path(path).filename().string() + ".journal");
  remove_stale_temporaries(folder_of(file), fs::path(file).filename().string());
  if (!repair_from(path, path + ".journal")) return false;
  struct stat info {};
  if (state_folder.empty() || ::stat(path.c_str(), &info) != 0) return true;
  std::string journal = state_journal(state_folder, info.st_dev, info.st_ino);
  remove_stale_temporaries(state_folder, fs::path(journal).filename().string());
  return repair_from(path, journal);
}

}  // namespace varnoklis
