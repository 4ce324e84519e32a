#include "run/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/files.h"
#include "base/output.h"
#include "run/destination.h"

namespace varnoklis {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "VARNOKLIS-JOURNAL";
constexpr char kMarker[] = ".varnoklis-";
constexpr int kJournalFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

std::atomic<bool> birth_times_ignored{false};

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

// What tells one file from another that later gets its device and inode: the birth time, where
// the file system keeps one.
struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
  off_t size = 0;
  bool born = false;
  std::int64_t birth_seconds = 0;
  std::uint32_t birth_nanoseconds = 0;
};

bool identify(int dirfd, const char* name, int flags, Identity& id) {
  struct statx info {};
  if (::statx(dirfd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return false;
  id = {makedev(info.stx_dev_major, info.stx_dev_minor),
        static_cast<ino_t>(info.stx_ino),
        static_cast<mode_t>(info.stx_mode),
        static_cast<off_t>(info.stx_size),
        (info.stx_mask & STATX_BTIME) != 0 && !birth_times_ignored,
        info.stx_btime.tv_sec,
        info.stx_btime.tv_nsec};
  if (!id.born) id.birth_seconds = id.birth_nanoseconds = 0;
  return true;
}

bool identify(const std::string& name, Identity& id) {
  return !name.empty() && identify(AT_FDCWD, name.c_str(), 0, id);
}

// Version 1 journals, left by earlier versions, name the file by device and inode alone.
struct Entry {
  int version = 2;
  char kind = 0;  // 'I': overwrite with the content; 'A': cut back to the length
  Identity file;
  off_t length = 0;
  std::string name;  // the file's name when the journal was written
  std::string content;
};

std::string hex_of(std::string_view text) {
  std::string hex;
  char pair[3];
  for (unsigned char c : text) {
    std::snprintf(pair, sizeof pair, "%02x", c);
    hex += pair;
  }
  return hex;
}

// The fields before the checksum, in their only accepted spelling; the name is kept in hex, since
// a path may hold blanks.
std::string header_fields(const Entry& entry) {
  char text[160];
  std::snprintf(text, sizeof text, "%s %d %c %ju %ju %jd", kMagic, entry.version, entry.kind,
                std::uintmax_t{entry.file.device}, std::uintmax_t{entry.file.inode},
                std::intmax_t{entry.length});
  std::string fields = text;
  if (entry.version == 1) return fields;
  if (entry.file.born) {
    std::snprintf(text, sizeof text, " %" PRId64 ".%09" PRIu32, entry.file.birth_seconds,
                  entry.file.birth_nanoseconds);
    fields += text;
  } else {
    fields += " -";
  }
  return fields + " " + (entry.name.empty() ? "-" : hex_of(entry.name));
}

template <typename Number>
bool number_of(std::string_view text, Number& value, int base = 10) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

bool name_of(std::string_view hex, std::string& name) {
  if (hex == "-") return true;
  if (hex.size() % 2 != 0) return false;
  for (std::size_t at = 0; at < hex.size(); at += 2) {
    unsigned char c = 0;
    if (!number_of(hex.substr(at, 2), c, 16)) return false;
    name += static_cast<char>(c);
  }
  return true;
}

bool parse_fields(const std::vector<std::string_view>& field, Entry& entry) {
  if (field.size() < 6 || field[0] != kMagic || field[2].size() != 1) return false;
  std::uintmax_t device = 0, inode = 0;
  std::intmax_t length = 0;
  entry.version = field[1] == "1" ? 1 : field[1] == "2" ? 2 : 0;
  entry.kind = field[2][0];
  if (entry.version == 0 || field.size() != (entry.version == 1 ? 6u : 8u) ||
      (entry.kind != 'I' && entry.kind != 'A') || !number_of(field[3], device) ||
      !number_of(field[4], inode) || !number_of(field[5], length) || length < 0) {
    return false;
  }
  entry.file.device = static_cast<dev_t>(device);
  entry.file.inode = static_cast<ino_t>(inode);
  entry.length = static_cast<off_t>(length);
  if (entry.version == 1) return true;
  std::string_view birth = field[6];
  std::size_t dot = birth.find('.');
  entry.file.born = birth != "-";
  if (entry.file.born && (dot == std::string_view::npos ||
                          !number_of(birth.substr(0, dot), entry.file.birth_seconds) ||
                          !number_of(birth.substr(dot + 1), entry.file.birth_nanoseconds))) {
    return false;
  }
  return name_of(field[7], entry.name);
}

bool parse_journal(const std::string& bytes, Entry& entry) {
  std::size_t end = bytes.find('\n');
  std::size_t last = bytes.rfind(' ', end);
  if (end == std::string::npos || last == std::string::npos) return false;
  std::string_view fields(bytes.data(), last);
  std::uint64_t sum = 0;
  std::vector<std::string_view> field;
  for (std::size_t at = 0; at <= fields.size();) {
    std::size_t blank = std::min(fields.find(' ', at), fields.size());
    field.push_back(fields.substr(at, blank - at));
    at = blank + 1;
  }
  if (!parse_fields(field, entry) || !number_of(bytes.substr(last + 1, end - last - 1), sum, 16) ||
      end - last - 1 != 16 || header_fields(entry) != fields) {
    return false;
  }
  entry.content = bytes.substr(end + 1);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016" PRIx64, sum);
  std::uint64_t expected = checksum(fields.data(), fields.size(), kChecksumStart);
  expected = checksum(entry.content.data(), entry.content.size(), expected);
  bool sized = entry.kind == 'A' ? entry.content.empty()
                                 : entry.content.size() == static_cast<std::size_t>(entry.length);
  return sized && expected == sum && bytes.compare(last + 1, 16, hex) == 0;
}

// Only a journal that this user or root wrote and nobody else can change may steer a write.
bool trusted_owner(const struct stat& info) {
  return (info.st_uid == ::geteuid() || info.st_uid == 0) && (info.st_mode & 022) == 0;
}

bool same_file(const Identity& a, const Identity& b) {
  return a.device == b.device && a.inode == b.inode;
}

// The name through which the journal's file is reached now: the path when it still names that
// file, else the name the journal was written through. Empty when the file is gone: nothing at
// its device and inode, or there another file (another birth time, or where the file system
// keeps none, the recorded name no longer reaching it).
std::string file_of(const std::string& path, const Entry& entry, Identity& now) {
  std::string target;
  if (identify(path, now) && same_file(now, entry.file)) {
    target = path;
  } else if (identify(entry.name, now) && same_file(now, entry.file)) {
    target = entry.name;
  } else {
    return {};
  }
  if (entry.version == 1) return target;
  if (entry.file.born && now.born) {
    bool same_birth = entry.file.birth_seconds == now.birth_seconds &&
                      entry.file.birth_nanoseconds == now.birth_nanoseconds;
    return same_birth ? target : std::string();
  }
  Identity named;
  return identify(entry.name, named) && same_file(named, entry.file) ? target : std::string();
}

bool apply_journal(const std::string& file, const Entry& entry, FileFailure& failure) {
  FileDescriptor out(::open(file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!out.ok() || ::fstat(out.get(), &info) != 0) return fail(failure, "Datei", file, errno);
  if (info.st_dev != entry.file.device || info.st_ino != entry.file.inode) {
    return fail(failure, "Datei", file, ESTALE);
  }
  bool ok = true;
  if (entry.kind == 'I') {
    ok = ::lseek(out.get(), 0, SEEK_SET) == 0 &&
         write_all(out.get(), entry.content.data(), entry.content.size());
  }
  ok = ok && ::ftruncate(out.get(), entry.length) == 0 && ::fsync(out.get()) == 0;
  ok = out.close() && ok;
  return ok || fail(failure, "Datei", file, errno);
}

// One journal candidate: absent is fine; present, it must be a regular file, trusted, and name a
// file that still exists (one that names none is removed, and said so).
bool repair_from(const std::string& path, const std::string& journal) {
  FileDescriptor in(::open(journal.c_str(), kJournalFlags));
  if (!in.ok() && errno == ENOENT) return true;
  struct stat info {};
  int error = !in.ok() || ::fstat(in.get(), &info) != 0 ? errno
              : S_ISREG(info.st_mode)                   ? 0
                                                        : kNotRegularFile;
  if (error != 0) {
    report_open_failure(path, {"Journal", journal, error});
    return false;
  }
  std::string bytes;
  Entry entry;
  Identity now;
  std::string file;
  bool valid = trusted_owner(info) && read_whole(in.get(), bytes) && parse_journal(bytes, entry);
  if (valid && (file = file_of(path, entry, now)).empty()) {
    print("Journal %s zu Downloadfile %s gehoert zu keiner vorhandenen Datei mehr, entfernt.\n",
          journal.c_str(), path.c_str());
    drop_journal(journal);
    return true;
  }
  if (!valid || !S_ISREG(now.mode) || (entry.kind == 'A' && entry.length > now.size)) {
    print("Journal %s zu Downloadfile %s ist ungueltig!\n", journal.c_str(), path.c_str());
    return false;
  }
  FileFailure failure;
  if (!apply_journal(file, entry, failure)) {
    report_write_failure(path, failure);
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

void remove_stale_journal_temporaries(const std::string& journal) {
  remove_stale_temporaries(folder_of(journal), fs::path(journal).filename().string());
}

}  // namespace

void ignore_birth_times(bool ignore) {
  birth_times_ignored = ignore;
}

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

std::string journal_name(const std::string& file, const std::string& state_folder, dev_t device,
                         ino_t inode, FileFailure& failure) {
  if (!state_folder.empty()) return state_journal(state_folder, device, inode);
  std::string folder = folder_of(file);
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
    return file + ".journal";
  }
  fail(failure, "Ordner", folder, errno);
  return {};
}

bool write_journal(const std::string& name, int fd, const std::string& file, int content_fd,
                   off_t old_length, FileFailure& failure) {
  Entry entry;
  if (!identify(fd, "", AT_EMPTY_PATH, entry.file)) return fail(failure, "Datei", file, errno);
  if (content_fd >= 0 &&
      (::lseek(content_fd, 0, SEEK_SET) != 0 || !read_whole(content_fd, entry.content))) {
    return fail(failure, "Temporaere Datei", folder_of(file), errno);
  }
  entry.kind = content_fd >= 0 ? 'I' : 'A';
  entry.length = content_fd >= 0 ? static_cast<off_t>(entry.content.size()) : old_length;
  entry.name = file;
  std::string fields = header_fields(entry);
  std::uint64_t sum = checksum(entry.content.data(), entry.content.size(),
                               checksum(fields.data(), fields.size(), kChecksumStart));
  char hex[20];
  std::snprintf(hex, sizeof hex, " %016" PRIx64 "\n", sum);
  std::string temp;
  FileDescriptor out(create_marked_temporary(name, temp));
  std::string header = fields + hex;
  bool ok = out.ok() && write_all(out.get(), header.data(), header.size()) &&
            write_all(out.get(), entry.content.data(), entry.content.size()) &&
            ::fsync(out.get()) == 0 && out.close() && ::rename(temp.c_str(), name.c_str()) == 0 &&
            sync_folder_of(name);
  if (ok) return true;
  fail(failure, "Journal", name, errno);
  if (!temp.empty()) ::unlink(temp.c_str());
  return false;
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

// A journal belongs to the file, not to the spelling that wrote it: the one beside the path as
// given (earlier versions wrote it there), the one beside the file, and the state folder's.
bool repair_download_file(const std::string& path, const std::string& state_folder) {
  std::string file = resolved_file(path);
  remove_stale_temporaries(folder_of(path), fs::path(path).filename().string());
  remove_stale_temporaries(folder_of(file), fs::path(file).filename().string());
  std::vector<std::string> journals = {path + ".journal"};
  if (file != path) journals.push_back(file + ".journal");
  for (const std::string& journal : journals) {
    remove_stale_journal_temporaries(journal);
    if (!repair_from(path, journal)) return false;
  }
  Identity now;
  if (state_folder.empty() || !identify(path, now)) return true;
  std::string journal = state_journal(state_folder, now.device, now.inode);
  remove_stale_journal_temporaries(journal);
  return repair_from(path, journal);
}

}  // namespace varnoklis
