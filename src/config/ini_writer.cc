#include "config/ini_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>

#include "base/files.h"
#include "base/output.h"
#include "config/cipher.h"
#include "config/config_file.h"
#include "config/keys.h"

namespace varnoklis::config {
namespace {

constexpr const char* kUsage =
    "usage: varnoklis-ini FILE set KEY VALUE   write or replace the enciphered entry for KEY\n"
    "       varnoklis-ini FILE set KEY         the same, VALUE read as one line from standard\n"
    "                                          input (not echoed on a terminal)\n"
    "       varnoklis-ini FILE list            print the keys, one per line\n"
    "       varnoklis-ini FILE show KEY        print the deciphered value of KEY\n"
    "       varnoklis-ini --help               print this text\n"
    "KEY: LOGIN, PASS, DATABASE or SCHEMA; set --force KEY ... writes a key no program reads.\n"
    "A new FILE is readable and writable by its owner only (0600); an existing FILE keeps its\n"
    "mode, owner and group. See varnoklis-ini(1).\n";

// The heading line "#;KEY;" and its line feed must fit the reader's heading line limit.
constexpr std::size_t kMaxKeyLength = kHeadingLineLimit - 3;

enum class ReadResult { Ok, Missing, Failed };

ReadResult read_file(const std::string& path, std::string& bytes) {
  int error = read_whole_file(path, bytes);
  if (error == 0) return ReadResult::Ok;
  return error == ENOENT ? ReadResult::Missing : ReadResult::Failed;
}

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  // Blank lines at the end carry no entry; dropping them keeps the heading/entry pairing.
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The key of an entry line "N;KEY;VALUE": the text between its first and second ';'.
bool entry_key_is(std::string_view line, std::string_view key, std::size_t& second) {
  std::size_t first = line.find(';');
  if (first == std::string_view::npos) return false;
  second = line.find(';', first + 1);
  return second != std::string_view::npos && line.substr(first + 1, second - first - 1) == key;
}

int64_t next_entry_number(std::string_view text) {
  int64_t highest = 0;
  for (const ConfigEntry& entry : scan_config_text(text).entries) {
    if (entry.number) highest = std::max<int64_t>(highest, *entry.number);
  }
  return highest + 1;
}

const char* status_text(ConfigStatus status) {
  switch (status) {
    case ConfigStatus::Found:
      return "found";
    case ConfigStatus::NotFound:
      return "not found";
    case ConfigStatus::NoFile:
      return "the file cannot be read";
    case ConfigStatus::BadValue:
      return "the stored value is not whole 16-digit blocks";
    case ConfigStatus::FieldTooLong:
      return "a field is longer than 200 characters (number: 11)";
  }
  return "unknown status";
}

bool valid_key(std::string_view key) {
  if (key.empty() || key.size() > kMaxKeyLength) return false;
  return key.find_first_of(";\r\n\x1a") == std::string_view::npos;
}

// The file that `path` names, found as the kernel follows links for a plain open for writing:
// an O_PATH open reaches an existing target, and an open with O_CREAT but without O_TRUNC
// applies the kernel's protections of sticky folders without changing anything. A dangling link
// names the file its target would be. False with `error` when the kernel refuses the path.
bool find_target(const std::string& path, std::string& target, std::string& error) {
  target = path;
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;
  FileDescriptor probe(open(path.c_str(), O_PATH | O_CLOEXEC));
  if (!probe.ok() && errno == ENOENT) {
    std::error_code failed;
    for (int hops = 0; hops < 40; ++hops) {
      std::filesystem::path next = std::filesystem::read_symlink(target, failed);
      if (failed) return true;
      target = (std::filesystem::path(target).parent_path() / next).string();
    }
    return true;
  }
  FileDescriptor opened(
      probe.ok() ? open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600)
                 : -1);
  if (!opened.ok()) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  target = resolved_name(probe.get(), path);
  return true;
}

// A file with other hard links is shared by every name: a replacement would leave the other names
// with the old content, so it is rewritten in place, in one write.
bool write_in_place(const std::string& path, const std::string& bytes, std::string& error) {
  FileDescriptor out(open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  bool ok = out.ok() && write_all(out.get(), bytes.data(), bytes.size()) &&
            ftruncate(out.get(), static_cast<off_t>(bytes.size())) == 0 && fsync(out.get()) == 0;
  if (!ok) error = "cannot write " + path + ": " + std::strerror(errno);
  return ok;
}

// Temporary file in the same folder, then rename: a reader sees the old file or the new one,
// never a half-written one. The file keeps its permissions; a new one is private to its owner
// (0600): the cipher's key is fixed in the program, so the permissions are the protection.
bool replace_file(const std::string& path, const std::string& bytes, std::string& error) {
  std::string temp = path + ".XXXXXX";
  FileDescriptor out(create_temporary(temp));
  if (!out.ok()) {
    error = "cannot create a temporary file next to " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat old_file {};
  bool existed = stat(path.c_str(), &old_file) == 0;
  mode_t mode = existed ? (old_file.st_mode & 07777) : 0600;
  // The account of the nightly job must still read the file when an administrator rewrites it,
  // so the new file takes the old one's owner and group, or it is not written at all.
  if (existed && fchown(out.get(), old_file.st_uid, old_file.st_gid) != 0) {
    error = "cannot keep the owner and group of " + path + ": " + std::strerror(errno);
    out.close();
    std::remove(temp.c_str());
    return false;
  }
  bool ok = fchmod(out.get(), mode) == 0 && write_all(out.get(), bytes.data(), bytes.size()) &&
            fsync(out.get()) == 0;
  ok = out.close() && ok;
  bool renamed = ok && std::rename(temp.c_str(), path.c_str()) == 0;
  // The rename is durable only once its folder is: a power cut could otherwise bring back the old
  // file, or no file at all.
  ok = renamed && sync_folder_of(path);
  if (!ok) error = "cannot write " + path + ": " + std::strerror(errno);
  if (!renamed) std::remove(temp.c_str());
  return ok;
}

// A link is followed to its target, which is replaced in its own folder, so every install that
// shares the file through the link reads the new value.
bool write_atomically(const std::string& path, const std::string& bytes, std::string& error) {
  std::string target;
  if (!find_target(path, target, error)) return false;
  struct stat info {};
  if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink > 1) {
    return write_in_place(target, bytes, error);
  }
  return replace_file(target, bytes, error);
}

// Echo stays off while the value is typed on a terminal, and is restored however the read ends,
// also by Ctrl-C or a termination signal, which would otherwise leave the terminal silent.
class EchoOff {
 public:
  explicit EchoOff(int fd) {
    if (tcgetattr(fd, &saved_) != 0) return;
    fd_ = fd;
    struct sigaction restore {};
    restore.sa_handler = restore_and_die;
    sigemptyset(&restore.sa_mask);
    sigaction(SIGINT, &restore, &old_int_);
    sigaction(SIGTERM, &restore, &old_term_);
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = tcsetattr(fd_, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (fd_ < 0) return;
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    fd_ = -1;
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  // Only async-signal-safe calls: the terminal is set back, then the signal ends the process as
  // it would have without the handler.
  static void restore_and_die(int signal) {
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }

  // One prompt at a time; the signal handler needs them where it can reach them.
  static inline int fd_ = -1;
  static inline termios saved_{};
  static inline volatile sig_atomic_t active_ = 0;
  static inline struct sigaction old_int_ {};
  static inline struct sigaction old_term_ {};
};

// One line of standard input without its line end; false when the input ends before any byte.
// Reading it there keeps the value out of the shell history and the process list.
bool read_value_line(const std::string& key, std::string& value, std::ostream& err) {
  bool terminal = isatty(STDIN_FILENO) == 1;
  if (terminal) err << key << ": " << std::flush;
  std::optional<EchoOff> quiet;
  if (terminal) quiet.emplace(STDIN_FILENO);
  bool got = static_cast<bool>(std::getline(std::cin, value));
  quiet.reset();
  if (terminal) err << "\n";
  if (!value.empty() && value.back() == '\r') value.pop_back();
  return got;
}

std::string known_key_names() {
  std::string names;
  for (const KnownKey& known : kKnownKeys) {
    names += (names.empty() ? "" : ", ") + std::string(known.name);
  }
  return names;
}

bool same_but_case(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::ranges::equal(a, b, {}, lower, lower);
}

int usage(std::ostream& err, const std::string& problem) {
  if (!problem.empty()) err << "varnoklis-ini: " << problem << "\n";
  err << message_text(kUsage);
  return kIniUsage;
}

int fail(std::ostream& err, const std::string& message) {
  err << "varnoklis-ini: " << message << "\n";
  return kIniFailure;
}

// A key the run reads, by its exact spelling; nullptr for any other key.
const KnownKey* find_known_key(std::string_view key) {
  for (const KnownKey& known : kKnownKeys) {
    if (known.name == key) return &known;
  }
  return nullptr;
}

// True when a key the run does not read is refused, with the message. It is refused before a
// value is asked for: a mistyped key would leave the run without its value while the tool
// reported success. A key spelt in another letter case is refused even with --force, since no
// reader takes it for the known key.
bool refuse_unknown_key(const std::string& key, bool force, std::ostream& err) {
  for (const KnownKey& known : kKnownKeys) {
    if (same_but_case(known.name, key)) {
      err << "varnoklis-ini: no program reads the key " << key << "; it is spelt " << known.name
          << "\n";
      return true;
    }
  }
  if (force) return false;
  err << "varnoklis-ini: no program reads the key " << key << " (" << known_key_names()
      << "); --force writes it all the same\n";
  return true;
}

int command_set(const std::string& path, const std::string& key, const std::string* given,
                bool force, std::ostream& err) {
  if (!valid_key(key)) {
    return usage(err, "KEY must be 1 to 196 characters without ';', line breaks or byte 26");
  }
  const KnownKey* known = find_known_key(key);
  if (known == nullptr && refuse_unknown_key(key, force, err)) return kIniUsage;
  std::string typed;
  if (given == nullptr && !read_value_line(key, typed, err)) {
    return fail(err, "no value on standard input");
  }
  const std::string& value = given != nullptr ? *given : typed;
  // The run refuses a longer value at night; here it is refused while the operator is present.
  if (known != nullptr && value.size() > known->capacity) {
    err << "varnoklis-ini: " << key << " takes at most " << known->capacity
        << " characters, as the run reads it; nothing written\n";
    return kIniUsage;
  }
  if ((value.size() + 7) / 8 * 16 > kFieldCapacity) {
    return usage(err, "VALUE must be at most 96 characters (200 hexadecimal digits stored)");
  }
  std::string bytes;
  if (read_file(path, bytes) == ReadResult::Failed) return fail(err, "cannot read " + path);
  std::string updated;
  std::string error;
  if (!set_config_entry(decode_text_file(bytes), key, value, updated, error)) {
    return fail(err, path + ": " + error);
  }
  if (!write_atomically(path, updated, error)) return fail(err, error);
  return 0;
}

int command_list(const std::string& path, std::ostream& out, std::ostream& err) {
  std::string bytes;
  if (read_file(path, bytes) != ReadResult::Ok) return fail(err, "cannot read " + path);
  ConfigScan scan = scan_config_text(decode_text_file(bytes));
  for (const ConfigEntry& entry : scan.entries) {
    std::string_view key = entry.key;
    if (!key.empty() && key.back() == '\n') key.remove_suffix(1);
    out << key << "\n" << std::flush;
  }
  if (scan.field_too_long) {
    return fail(err, path + ": entry " + std::to_string(scan.entries.size() + 1) + ": " +
                         status_text(ConfigStatus::FieldTooLong) + "; the reader stops there");
  }
  return 0;
}

int command_show(const std::string& path, const std::string& key, std::ostream& out,
                 std::ostream& err) {
  // The same request the program makes: empty group, number 0, so the tool shows what it reads.
  ConfigValue result = read_config_value(path, "", key, 0);
  switch (result.status) {
    case ConfigStatus::Found:
      out << result.value << "\n" << std::flush;
      return 0;
    case ConfigStatus::NotFound:
      return fail(err, key + ": no entry in " + path);
    case ConfigStatus::NoFile:
      return fail(err, "cannot read " + path);
    default:
      return fail(err, key + ": " + status_text(result.status));
  }
}

}  // namespace

bool set_config_entry(std::string_view text, std::string_view key, std::string_view value,
                      std::string& updated, std::string& error) {
  std::vector<std::string> lines = split_lines(text);
  if (lines.size() % 2 != 0) {
    error = "odd number of lines; every entry needs a heading line and an entry line";
    return false;
  }
  std::string hex = encipher(value);
  bool replaced = false;
  for (std::size_t i = 1; i < lines.size() && !replaced; i += 2) {
    std::size_t second = 0;
    if (entry_key_is(lines[i], key, second)) {
      lines[i] = lines[i].substr(0, second + 1) + hex;
      replaced = true;
    }
  }
  if (!replaced) {
    int64_t number = next_entry_number(text);
    if (number > std::numeric_limits<int32_t>::max()) {
      error = "no entry number left above the highest one";
      return false;
    }
    std::string key_text(key);
    lines.push_back("#;" + key_text + ";");
    lines.push_back(std::to_string(number) + ";" + key_text + ";" + hex);
  }

  updated.clear();
  for (const std::string& line : lines) updated += line + "\r\n";

  // The program asks with an empty group and number 0; the first entry answering that request
  // must be this one, or the program would read another value.
  ConfigValue check = lookup_config_text(decode_text_file(updated), "", key, 0);
  if (check.status == ConfigStatus::NotFound) {
    error =
        std::string(key) + " would not read back: a line above it is longer than the reader takes";
    return false;
  }
  if (check.status == ConfigStatus::FieldTooLong) {
    error = std::string(key) + " would not read back: " + status_text(check.status);
    return false;
  }
  if (check.status != ConfigStatus::Found || check.value != value) {
    error = std::string(key) + " would not read back: an entry above it answers the lookup first";
    return false;
  }
  return true;
}

int run_ini_tool(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
  if (given.size() == 1 && given[0] == "--help") {
    out << message_text(kUsage) << std::flush;
    return 0;
  }
  if (given.size() < 2) return usage(err, "");
  // --force stands right after "set", before the key, so that no value is ever taken for it.
  std::vector<std::string> args = given;
  bool force = args[1] == "set" && args.size() > 2 && args[2] == "--force";
  if (force) args.erase(args.begin() + 2);
  const std::string& path = args[0];
  const std::string& command = args[1];
  if (command == "set" && args.size() == 4) return command_set(path, args[2], &args[3], force, err);
  if (command == "set" && args.size() == 3) return command_set(path, args[2], nullptr, force, err);
  if (command == "list" && args.size() == 2) return command_list(path, out, err);
  if (command == "show" && args.size() == 3) return command_show(path, args[2], out, err);
  return usage(err, "unknown command or wrong number of arguments");
}

}  // namespace varnoklis::config
