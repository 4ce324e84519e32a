#include "config/config_file.h"

#include <filesystem>
#include <limits>

#include "base/files.h"
#include "config/cipher.h"

namespace varnoklis::config {
namespace {

constexpr char kEndOfFile = 26;

// Reads one line like a C line read into a buffer of `limit` + 1 bytes: at most `limit`
// characters, stopping after a line feed. A longer line leaves its rest for the next read.
bool next_line(std::string_view text, std::size_t& pos, std::size_t limit, std::string& line) {
  if (pos >= text.size()) return false;
  std::size_t end = pos;
  while (end < text.size() && end - pos < limit) {
    if (text[end++] == '\n') break;
  }
  line.assign(text.substr(pos, end - pos));
  pos = end;
  return true;
}

int to_int(std::size_t n) {
  return static_cast<int>(n);
}

bool too_long(const ConfigEntry& entry) {
  return entry.group.size() > kFieldCapacity || entry.key.size() > kFieldCapacity ||
         entry.value.size() > kFieldCapacity;
}

// The second field of a line: between its first and second ';'. Two adjacent ';' give a length
// of 0, which the cut reads as "to the end of the line".
std::string second_field(std::string_view line) {
  int first = nth_position(line, ';', 1);
  int second = nth_position(line, ';', 2);
  return cut(line, first + 1, second - first - 1);
}

// Returns false when a field does not fit its capacity; such a field is never cut, since a cut
// key or enciphered value would silently become a different one.
bool cut_entry(std::string_view heading, std::string entry_line, ConfigEntry& entry) {
  entry.group = second_field(heading);

  int first = nth_position(entry_line, ';', 1);
  // A line without any ';' has no number field; it then matches no number, so a stray line
  // cannot answer the lookups that ask for number 0.
  if (first >= 0) {
    // An empty number field (the line begins with ';') reads as 0, as every empty field does;
    // the cut rule would otherwise take the whole line for it.
    std::string number_text = first == 0 ? std::string() : cut(entry_line, 0, first);
    if (number_text.size() > kNumberCapacity) return false;
    entry.number = parse_number(number_text);
  }

  if (entry_line.find('\n') == std::string::npos) entry_line.push_back('\n');
  entry.key = second_field(entry_line);

  if (first < 0) {
    entry.value = entry_line;
  } else {
    int second = nth_position(entry_line, ';', 2);
    int length = to_int(entry_line.find('\n')) - second - 1;
    // Nothing after the second ';' is the empty value, not a lone line feed to decipher.
    if (length > 0) entry.value = cut(entry_line, second + 1, length);
  }
  return !too_long(entry);
}

}  // namespace

std::string decode_text_file(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == kEndOfFile) break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(c);
  }
  return text;
}

int nth_position(std::string_view text, char c, int n) {
  int found = -1;
  int seen = 0;
  for (std::size_t i = 0; i < text.size() && seen < n; ++i) {
    if (text[i] == c) {
      found = to_int(i);
      ++seen;
    }
  }
  return found;
}

std::string cut(std::string_view text, int start, int length) {
  if (length < 0 || start < 0 || static_cast<std::size_t>(start) >= text.size()) return {};
  std::string_view rest = text.substr(static_cast<std::size_t>(start));
  if (length == 0) return std::string(rest);
  return std::string(rest.substr(0, static_cast<std::size_t>(length)));
}

int32_t parse_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= kMax + 1) value = value * 10 + (text[i] - '0');
  }
  if (negative) return static_cast<int32_t>(-value < kMin ? kMin : -value);
  return static_cast<int32_t>(value > kMax ? kMax : value);
}

ConfigScan scan_config_text(std::string_view text) {
  ConfigScan scan;
  std::size_t pos = 0;
  std::string heading;
  std::string entry_line;
  while (true) {
    next_line(text, pos, kHeadingLineLimit, heading);
    if (!next_line(text, pos, kEntryLineLimit, entry_line)) break;
    ConfigEntry entry;
    if (!cut_entry(heading, entry_line, entry)) {
      scan.field_too_long = true;
      break;
    }
    scan.entries.push_back(std::move(entry));
  }
  return scan;
}

ConfigValue lookup_config_text(std::string_view text, std::string_view group, std::string_view key,
                               int32_t number) {
  ConfigScan scan = scan_config_text(text);
  for (const ConfigEntry& entry : scan.entries) {
    if (entry.group != group && entry.key != key && entry.number != number) continue;
    ConfigValue result;
    result.status =
        decipher(entry.value, result.value) ? ConfigStatus::Found : ConfigStatus::BadValue;
    return result;
  }
  ConfigValue none;
  if (scan.field_too_long) none.status = ConfigStatus::FieldTooLong;
  return none;
}

std::string absolute_path(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  // The working directory comes without symbolic links, so ".." may be resolved by the text.
  return absolute.lexically_normal().string();
}

ConfigValue read_config_value(const std::string& path, std::string_view group, std::string_view key,
                              int32_t number) {
  std::string bytes;
  if (int error = read_whole_file(path, bytes); error != 0) {
    return ConfigValue{ConfigStatus::NoFile, {}, error};
  }
  return lookup_config_text(decode_text_file(bytes), group, key, number);
}

}  // namespace varnoklis::config
