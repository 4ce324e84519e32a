// Configuration file reader: two-line entries (heading line, entry line) with enciphered values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoklis::config {

inline constexpr const char* kConfigPath = "../../files/kelvaniro.ini";

/// Longest heading line a read takes, its line feed included; the rest reads as the next line.
inline constexpr std::size_t kHeadingLineLimit = 199;
/// Longest entry line a read takes, its line feed included; the rest reads as the next line.
inline constexpr std::size_t kEntryLineLimit = 399;
/// Capacity of the group, key and (enciphered) value fields.
inline constexpr std::size_t kFieldCapacity = 200;
/// Capacity of the number field text.
inline constexpr std::size_t kNumberCapacity = 11;

/// Outcome of a lookup; every status but Found comes with an empty value.
enum class ConfigStatus {
  Found,         // an entry matched and its value deciphered (an empty stored value is "")
  NotFound,      // no entry matched
  NoFile,        // the file is missing or cannot be read
  BadValue,      // the matching value is not whole 16-digit blocks
  FieldTooLong,  // a field beyond its capacity, in the matching entry or above it
};

/// Result of a lookup: its status and, when Found, the deciphered value.
struct ConfigValue {
  ConfigStatus status = ConfigStatus::NotFound;
  std::string value;
  int file_error = 0;  // with NoFile: the errno of the failed open or read
};

/// One heading/entry line pair as the reader cuts it; `value` is still enciphered.
struct ConfigEntry {
  std::string group;
  std::optional<int32_t> number;  // empty when the entry line holds no ';'
  std::string key;
  std::string value;
};

/// The entries of a configuration text in file order, up to the first one with an over-long field.
struct ConfigScan {
  std::vector<ConfigEntry> entries;
  bool field_too_long = false;  // the scan stopped at an entry with a field beyond its capacity
};

/// Turns raw file bytes into text: CR LF reads as LF and a byte 26 ends the text.
std::string decode_text_file(std::string_view bytes);
/// Position of the n-th `c` in `text`, of the last one when fewer, -1 when none.
int nth_position(std::string_view text, char c, int n);
/// `length` characters from `start`; a length of 0 runs to the end, a negative one gives "".
std::string cut(std::string_view text, int start, int length);
/// Reads a leading decimal integer like strtol (blanks, one sign), clamped to 32 bits; else 0.
int32_t parse_number(std::string_view text);
/// Cuts decoded configuration text into entries the way the lookup reads them.
ConfigScan scan_config_text(std::string_view text);
/// Looks up the first entry of decoded text matching group, key or number and deciphers it.
ConfigValue lookup_config_text(std::string_view text, std::string_view group, std::string_view key,
                               int32_t number);
/// The file that `path` names from the working directory, absolute and without "." or "..".
std::string absolute_path(const std::string& path);
/// Scans the configuration file from the top for the first entry matching group, key or number
/// and deciphers its value.
ConfigValue read_config_value(const std::string& path, std::string_view group, std::string_view key,
                              int32_t number);

}  // namespace varnoklis::config
