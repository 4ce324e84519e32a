#include "fuzz/harness.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "builders/record.h"
#include "config/cipher.h"
#include "config/config_file.h"
#include "db/sql_text.h"
#include "db/text.h"
#include "queries/number_text.h"
#include "show/diff.h"
#include "show/reader.h"
#include "show/table.h"

namespace varnoklis::fuzz {
namespace {

[[noreturn]] void abort_on_failure(const char* target, const char* property) {
  std::fprintf(stderr, "fuzz target %s: property violated: %s\n", target, property);
  std::abort();
}

FailureHandler g_failure_handler = abort_on_failure;

// Reports a violated property of one target; never returns.
class Checker {
 public:
  explicit Checker(const char* target) : target_(target) {}
  void operator()(bool holds, const char* property) const {
    if (holds) return;
    g_failure_handler(target_, property);
    std::abort();  // a handler that returned
  }

 private:
  const char* target_;
};

std::string_view as_text(const uint8_t* data, size_t size) {
  return size == 0 ? std::string_view()
                   : std::string_view(reinterpret_cast<const char*>(data), size);
}

// ---------------------------------------------------------------------------------------------
// Configuration reader.
//
// The reference below reads the file the way the two-line entry format is documented, step by
// step with its own position and cut helpers, and the reader under test must agree with it on
// every input. Where the format leaves a choice open it follows the choices the reader documents:
// over-long fields stop the scan (never cut), a line without ';' has no number, an empty value is
// the empty text.

namespace cfg = varnoklis::config;

struct RefEntry {
  std::string group;
  bool has_number = false;
  int32_t number = 0;
  std::string key;
  std::string value;
};

struct RefScan {
  std::vector<RefEntry> entries;
  bool too_long = false;
};

// Text mode reading: the file ends at the first byte 26, and each CR LF pair reads as LF.
std::string ref_decode(std::string_view bytes) {
  std::string text(bytes.substr(0, std::min(bytes.size(), bytes.find('\x1a'))));
  std::string out;
  for (size_t from = 0;;) {
    size_t pair = text.find("\r\n", from);
    if (pair == std::string::npos) {
      out.append(text, from, std::string::npos);
      return out;
    }
    out.append(text, from, pair - from);
    out.push_back('\n');
    from = pair + 2;
  }
}

// Position of the n-th `c`; of the last one when there are fewer; -1 when there is none.
long ref_nth(const std::string& text, char c, int n) {
  long found = -1;
  for (size_t i = 0; i < text.size() && n > 0; ++i) {
    if (text[i] == c) {
      found = static_cast<long>(i);
      --n;
    }
  }
  return found;
}

// `length` characters from `start`; 0 runs to the end, a negative length gives nothing.
std::string ref_cut(const std::string& text, long start, long length) {
  if (length < 0 || start < 0 || static_cast<size_t>(start) >= text.size()) return {};
  std::string rest = text.substr(static_cast<size_t>(start));
  return length == 0 ? rest : rest.substr(0, static_cast<size_t>(length));
}

std::string ref_second_field(const std::string& line) {
  long first = ref_nth(line, ';', 1);
  long second = ref_nth(line, ';', 2);
  return ref_cut(line, first + 1, second - first - 1);
}

// A line read of at most `limit` characters, the line feed included.
bool ref_read_line(const std::string& text, size_t& pos, size_t limit, std::string& line) {
  if (pos >= text.size()) return false;
  size_t line_feed = text.find('\n', pos);
  size_t length = line_feed == std::string::npos ? text.size() - pos : line_feed - pos + 1;
  line = text.substr(pos, std::min(length, limit));
  pos += line.size();
  return true;
}

int32_t ref_number(const std::string& text) {
  // strtol stops at a zero byte as the reader does at any non-digit; 11 characters cannot
  // overflow 64 bits, so only the 32-bit clamp is left.
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  value = std::clamp<long long>(value, std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(value);
}

RefScan ref_scan(const std::string& text) {
  RefScan scan;
  size_t pos = 0;
  std::string heading;
  std::string line;
  while (true) {
    ref_read_line(text, pos, 199, heading);
    if (!ref_read_line(text, pos, 399, line)) return scan;
    RefEntry entry;
    entry.group = ref_second_field(heading);
    long first = ref_nth(line, ';', 1);
    if (first >= 0) {
      std::string number_text = first == 0 ? std::string() : ref_cut(line, 0, first);
      if (number_text.size() > 11) {
        scan.too_long = true;
        return scan;
      }
      entry.has_number = true;
      entry.number = ref_number(number_text);
    }
    if (line.back() != '\n') line.push_back('\n');
    entry.key = ref_second_field(line);
    if (first < 0) {
      entry.value = line;
    } else {
      long second = ref_nth(line, ';', 2);
      long length = static_cast<long>(line.find('\n')) - second - 1;
      if (length > 0) entry.value = ref_cut(line, second + 1, length);
    }
    if (entry.group.size() > 200 || entry.key.size() > 200 || entry.value.size() > 200) {
      scan.too_long = true;
      return scan;
    }
    scan.entries.push_back(entry);
  }
}

cfg::ConfigValue ref_lookup(const RefScan& scan, std::string_view group, std::string_view key,
                            int32_t number) {
  for (const RefEntry& entry : scan.entries) {
    if (entry.group == group || entry.key == key || (entry.has_number && entry.number == number)) {
      cfg::ConfigValue found;
      found.status = cfg::decipher(entry.value, found.value) ? cfg::ConfigStatus::Found
                                                             : cfg::ConfigStatus::BadValue;
      return found;
    }
  }
  cfg::ConfigValue none;
  none.status = scan.too_long ? cfg::ConfigStatus::FieldTooLong : cfg::ConfigStatus::NotFound;
  return none;
}

bool same_value(const cfg::ConfigValue& a, const cfg::ConfigValue& b) {
  return a.status == b.status && a.value == b.value;
}

// One file per process that the file-reading lookup reads; removed at exit.
char g_config_path[64];

void remove_config_file() {
  if (g_config_path[0] != '\0') std::remove(g_config_path);
}

const char* config_file_path() {
  static const bool created = [] {
    std::snprintf(g_config_path, sizeof g_config_path, "/tmp/varnoklis-fuzz-XXXXXX");
    int fd = ::mkstemp(g_config_path);
    if (fd < 0) {
      g_config_path[0] = '\0';
      return false;
    }
    ::close(fd);
    std::atexit(remove_config_file);
    return true;
  }();
  return created ? g_config_path : nullptr;
}

bool write_file(const char* path, std::string_view bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  // An empty input may come with no data pointer at all, which fwrite must not be given.
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

void fuzz_config_reader(const uint8_t* data, size_t size) {
  const Checker check("config_reader");
  if (size == 0) return;

  // First byte: group (bits 0-1), key (bits 2-4) and number (bits 5-7) asked for. A zero byte is
  // the program's own request for LOGIN; 0x04, 0x08 and 0x0C ask for PASS, DATABASE and SCHEMA.
  static constexpr std::string_view kGroups[] = {"", "LOGIN", "#", "[A]"};
  static constexpr std::string_view kKeys[] = {"LOGIN", "PASS",  "DATABASE", "SCHEMA",
                                               "",      "login", "\n",       ";"};
  static constexpr int32_t kNumbers[] = {
      0, 1, -1, 2, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), 4, 99};
  const std::string_view group = kGroups[data[0] & 0x3];
  const std::string_view key = kKeys[(data[0] >> 2) & 0x7];
  const int32_t number = kNumbers[(data[0] >> 5) & 0x7];
  const std::string_view bytes = as_text(data + 1, size - 1);

  const std::string text = cfg::decode_text_file(bytes);
  check(text == ref_decode(bytes), "text mode reading: byte 26 ends the file, CR LF reads as LF");
  if (text.find('\r') == std::string::npos) {
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    check(cfg::decode_text_file(crlf) == text, "CR LF line ends read like LF line ends");
  }

  const cfg::ConfigScan scan = cfg::scan_config_text(text);
  const RefScan ref = ref_scan(text);
  check(scan.field_too_long == ref.too_long, "scan stops at the same over-long field");
  check(scan.entries.size() == ref.entries.size(), "scan pairs heading and entry lines alike");
  for (size_t i = 0; i < std::min(scan.entries.size(), ref.entries.size()); ++i) {
    const cfg::ConfigEntry& got = scan.entries[i];
    const RefEntry& want = ref.entries[i];
    check(got.group == want.group, "group is the second field of the heading line");
    check(got.key == want.key, "key is the second field of the entry line");
    check(got.value == want.value, "value runs from the second ';' to the line feed");
    check(got.number.has_value() == want.has_number, "a number exactly when the line holds ';'");
    check(!got.number || *got.number == want.number, "number reads like strtol, clamped");
    check(got.group.size() <= cfg::kFieldCapacity && got.key.size() <= cfg::kFieldCapacity &&
              got.value.size() <= cfg::kFieldCapacity,
          "no field beyond its capacity");
  }

  // Each lookup deciphers once, and the key schedule dominates the run time: one request per
  // input (the first byte reaches the program's own four requests as well).
  const cfg::ConfigValue got = cfg::lookup_config_text(text, group, key, number);
  check(same_value(got, ref_lookup(ref, group, key, number)),
        "lookup returns the first matching entry, deciphered");
  check(got.status == cfg::ConfigStatus::Found || got.value.empty(),
        "only a found value is non-empty");
  check(got.value.find('\0') == std::string::npos, "a value ends at its first zero byte");
  check(got.value.size() <= cfg::kFieldCapacity / 2, "a value is at most half its hex text");

  if (const char* path = config_file_path(); path != nullptr && write_file(path, bytes)) {
    check(same_value(cfg::read_config_value(path, group, key, number), got),
          "reading the file gives what the lookup of its text gives");
  }
  static const bool missing_checked = [&check] {
    cfg::ConfigValue none =
        cfg::read_config_value("/nonexistent/varnoklis/kelvaniro.ini", "", "LOGIN", 0);
    check(none.status == cfg::ConfigStatus::NoFile && none.value.empty(),
          "a missing file gives no value");
    return true;
  }();
  (void)missing_checked;
}

// ---------------------------------------------------------------------------------------------
// Credential cipher.

namespace {

// A character's digit value: c - 55 for the capitals A to F, c - 48 for every other code.
int ref_digit(char c) {
  int code = static_cast<unsigned char>(c);
  return c >= 'A' && c <= 'F' ? code - 55 : code - 48;
}

// The same text with each pair replaced by the canonical upper-case digits of its byte.
std::string canonical_hex(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    int byte = ((16 * ref_digit(text[i]) + ref_digit(text[i + 1])) % 256 + 256) % 256;
    out.push_back(kDigits[byte / 16]);
    out.push_back(kDigits[byte % 16]);
  }
  return out;
}

bool context_is_wiped() {
  const cfg::BlowfishContext& ctx = cfg::shared_cipher_context();
  for (uint32_t word : ctx.p) {
    if (word != 0) return false;
  }
  for (const auto& box : ctx.s) {
    for (uint32_t word : box) {
      if (word != 0) return false;
    }
  }
  return true;
}

std::string cut_at_zero(std::string_view text) {
  return std::string(text.substr(0, std::min(text.size(), text.find('\0'))));
}

void check_round_trip(const Checker& check, std::string_view plain, const std::string& hex,
                      bool deciphered, const std::string& back) {
  check(hex.size() == (plain.size() + 7) / 8 * 16, "16 digits per started 8-byte block");
  check(hex.find_first_not_of("0123456789ABCDEF") == std::string::npos,
        "enciphered text is upper-case hexadecimal");
  check(deciphered, "an enciphered text deciphers");
  check(back == cut_at_zero(plain), "decipher(encipher(x)) is x up to its first zero byte");
  check(context_is_wiped(), "the cipher context holds zeros after enciphering");
}

}  // namespace

void fuzz_cipher_hex(const uint8_t* data, size_t size) {
  const Checker check("cipher_hex");
  const std::string_view text = as_text(data, size);

  std::string plain = "left over";
  bool whole = cfg::decipher(text, plain);
  check(whole == (text.size() % 16 == 0), "only whole 16-digit blocks decipher");
  check(context_is_wiped(), "the cipher context holds zeros after deciphering");
  check(whole || plain.empty(), "a refused text gives the empty value");
  check(plain.size() <= text.size() / 2, "8 bytes out per 16 digits in");
  check(plain.find('\0') == std::string::npos, "the value ends at its first zero byte");
  if (whole) {
    std::string again;
    check(cfg::decipher(canonical_hex(text), again) && again == plain,
          "every character decodes by its digit value, digits or not");
  }

  // Round trip with the system key.
  const std::string_view head = text.substr(0, std::min<size_t>(text.size(), 96));
  std::string hex = cfg::encipher(head);
  std::string back = "left over";
  bool deciphered = cfg::decipher(hex, back);
  check_round_trip(check, head, hex, deciphered, back);

  // Round trip with a key from the input: first byte its length (0 to 56), then the key bytes.
  if (size > 0) {
    const size_t key_length = std::min<size_t>(data[0] % 57, size - 1);
    const std::string_view key = text.substr(1, key_length);
    const std::string_view rest = text.substr(1 + key_length);
    const std::string_view plain_k = rest.substr(0, std::min<size_t>(rest.size(), 96));
    std::string hex_k = cfg::encipher_with_key(plain_k, key);
    std::string back_k;
    bool deciphered_k = cfg::decipher_with_key(hex_k, key, back_k);
    check_round_trip(check, plain_k, hex_k, deciphered_k, back_k);
  }
}

// ---------------------------------------------------------------------------------------------
// Number texts and record text helpers.

namespace {

void check_minutes(const Checker& check, int32_t minutes) {
  std::string text = "previous content";
  format_minutes(minutes, text);
  const long long magnitude = std::llabs(static_cast<long long>(minutes));
  check(text.size() == kNumberTextWidth, "a day-balance text is exactly 7 characters");
  check(text.back() == (minutes < 0 ? '-' : ' '), "sign column: '-' exactly for a negative figure");
  const std::string body = text.substr(0, kNumberTextWidth - 1);
  if (magnitude >= 60000) {
    check(body == "******", "from 1000 hours on the text shows the overflow mark");
    return;
  }
  const size_t lead = body.find_first_not_of(' ');
  const size_t expected_lead = magnitude >= 6000 ? 0 : magnitude >= 600 ? 1 : 2;
  check(lead == expected_lead, "lead: none from 100 hours, one from 10 hours, else two blanks");
  const std::string figure = body.substr(std::min(lead, body.size()));
  const size_t comma = figure.find(',');
  check(comma != std::string::npos && comma + 3 == figure.size(), "hours, comma, two minutes");
  const std::string hours = figure.substr(0, comma);
  const std::string mins = figure.substr(comma + 1);
  check(!hours.empty() && hours.find_first_not_of("0123456789") == std::string::npos &&
            (hours.size() == 1 || hours[0] != '0'),
        "hours in decimal without padding");
  check(mins.find_first_not_of("0123456789") == std::string::npos, "minutes are two digits");
  check(std::atoll(hours.c_str()) * 60 + std::atoll(mins.c_str()) == magnitude &&
            std::atoll(mins.c_str()) < 60,
        "hours and minutes give back the figure");
}

void check_days(const Checker& check, double days) {
  std::string text = "previous content";
  format_days(days, text);
  check(text.size() == kNumberTextWidth, "a vacation text is exactly 7 characters");
  check(text.back() == (days < 0.0 ? '-' : ' '), "sign column: '-' exactly below 0.0");
  const std::string body = text.substr(0, kNumberTextWidth - 1);
  const double magnitude = std::fabs(days);
  char rounded[400];
  std::snprintf(rounded, sizeof rounded, "%.2f", magnitude);
  const bool fits = magnitude < 1000.0 && std::strlen(rounded) <= kNumberTextWidth - 1;
  if (!fits) {
    check(body == "******", "a figure that does not fit in 7 characters shows the overflow mark");
    return;
  }
  check(body != "******", "a figure that fits is shown");
  const size_t lead = body.find_first_not_of(' ');
  check(lead != std::string::npos, "a figure shows digits");
  const std::string figure = body.substr(lead);
  check(figure.find(' ') == std::string::npos && figure.find('.') == std::string::npos,
        "right-aligned, decimal comma instead of the point");
  const size_t comma = figure.find(',');
  check(comma != std::string::npos && comma + 3 == figure.size() && comma > 0,
        "two decimals after the comma");
  check(figure.find_first_not_of("0123456789,") == std::string::npos, "digits and one comma");
  std::string point = figure;
  point[comma] = '.';
  check(std::fabs(std::strtod(point.c_str(), nullptr) - magnitude) <= 0.005 + 1e-9 * magnitude,
        "the text is the magnitude rounded to two decimals");
  const size_t expected_lead = magnitude >= 100.0 ? 0 : magnitude >= 10.0 ? 1 : 2;
  // The lead is chosen on the unrounded figure; only a figure that rounds up to the next power
  // of ten gives up a blank to stay within 7 characters.
  check(lead == expected_lead || (lead + 1 == expected_lead && figure.size() == 7 - expected_lead),
        "lead: none from 100, one from 10, else two blanks");
}

void check_extremes(const Checker& check) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  for (int32_t minutes :
       {0, 1, -1, 59, -59, 60, 65, 599, 600, -600, 5999, 6000, -6000, 59999, -59999, 60000, -60000,
        std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
    check_minutes(check, minutes);
  }
  for (double days : {0.0,
                      -0.0,
                      0.004,
                      -0.004,
                      0.005,
                      -0.005,
                      9.5,
                      9.995,
                      -9.995,
                      9.994999,
                      10.0,
                      99.995,
                      -99.995,
                      100.0,
                      999.99,
                      999.994,
                      999.995,
                      -999.995,
                      1000.0,
                      -1000.0,
                      1e300,
                      -1e300,
                      std::numeric_limits<double>::max(),
                      std::numeric_limits<double>::lowest(),
                      std::numeric_limits<double>::min(),
                      std::numeric_limits<double>::denorm_min(),
                      kInf,
                      -kInf,
                      kNan,
                      -kNan}) {
    check_days(check, days);
  }
}

void check_put(const Checker& check, size_t length, size_t position, std::string_view text) {
  std::string record;
  blank_record(record, length);
  check(record == std::string(length, ' '), "a new record is all blanks");
  put(record, records::Field{.name = {}, .position = position}, text);
  check(record.size() == length, "placing a text never changes the record length");
  const size_t start = position == 0 ? length : std::min(position - 1, length);
  const size_t end = std::min(length, start + text.size());
  for (size_t i = 0; i < length; ++i) {
    const char want = i >= start && i < end ? text[i - start] : ' ';
    check(record[i] == want, "the text lands at its 1-based position, cut at the record end");
  }
}

void check_trim(const Checker& check, std::string_view text) {
  const std::string_view trimmed = right_trimmed(text);
  check(text.substr(0, trimmed.size()) == trimmed, "right-trim keeps a prefix");
  check(text.substr(trimmed.size()).find_first_not_of(" \t\n") == std::string_view::npos,
        "right-trim removes only blanks, tabs and line feeds");
  check(trimmed.empty() || std::string_view(" \t\n").find(trimmed.back()) == std::string_view::npos,
        "right-trim leaves no trailing blank, tab or line feed");
  std::string copy(text);
  right_trim(copy);
  check(copy == trimmed, "in-place right-trim agrees");
}

}  // namespace

void fuzz_number_text(const uint8_t* data, size_t size) {
  const Checker check("number_text");
  static const bool extremes_checked = [&check] {
    check_extremes(check);
    return true;
  }();
  (void)extremes_checked;

  const std::string_view input = as_text(data, size);
  if (!input.empty() && input[0] == 'T') {
    // Text form: "T" and a decimal figure, read both as minutes and as days.
    const std::string figure(input.substr(1, 64));
    const long long minutes = std::strtoll(figure.c_str(), nullptr, 10);
    check_minutes(check, static_cast<int32_t>(
                             std::clamp<long long>(minutes, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max())));
    check_days(check, std::strtod(figure.c_str(), nullptr));
  } else {
    // Binary form: 12-byte groups of a 32-bit minute count and a double.
    for (size_t at = 0; at + 12 <= size && at < 12 * 64; at += 12) {
      int32_t minutes;
      double days;
      std::memcpy(&minutes, data + at, sizeof minutes);
      std::memcpy(&days, data + at + 4, sizeof days);
      check_minutes(check, minutes);
      check_days(check, days);
    }
  }

  if (size > 0) {
    const size_t length = size % 181;
    check_put(check, length, data[0] % (length + 3), input.substr(1));
  }
  check_trim(check, input);
}

// ---------------------------------------------------------------------------------------------
// Statement filling.

namespace {

// Plain substitution of %s and %ld, left to right, as long as values remain; no escaping.
std::string naive_fill(std::string_view pattern, const std::vector<std::string>& values,
                       std::vector<size_t>* placeholder_positions = nullptr) {
  std::string out;
  size_t pos = 0;
  for (const std::string& value : values) {
    size_t s = pattern.find("%s", pos);
    size_t ld = pattern.find("%ld", pos);
    size_t at = std::min(s, ld);
    if (at == std::string_view::npos) break;
    if (placeholder_positions != nullptr) placeholder_positions->push_back(at);
    out.append(pattern.substr(pos, at - pos));
    out += value;
    pos = at + (at == s ? 2 : 3);
  }
  out.append(pattern.substr(pos));
  return out;
}

// A statement text cut at its quotes: code between literals, and literals with '' read as '.
struct Token {
  bool literal = false;
  bool closed = false;  // a literal that has its closing quote
  std::string content;
  bool operator==(const Token&) const = default;
};

std::vector<Token> lex(std::string_view text) {
  std::vector<Token> tokens;
  for (size_t i = 0; i < text.size();) {
    Token token;
    if (text[i] != '\'') {
      size_t end = std::min(text.size(), text.find('\'', i));
      token.content = text.substr(i, end - i);
      i = end;
    } else {
      token.literal = true;
      for (++i; i < text.size(); ++i) {
        if (text[i] != '\'') {
          token.content += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\'') {
          token.content += '\'';
          ++i;
        } else {
          token.closed = true;
          ++i;
          break;
        }
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

// Whether the character at `pos` of `text` lies inside a literal.
bool inside_literal(std::string_view text, size_t pos) {
  bool inside = false;
  for (size_t i = 0; i < pos; ++i) {
    if (text[i] != '\'') continue;
    if (inside && i + 1 < text.size() && text[i + 1] == '\'') {
      ++i;  // an escaped quote; a placeholder never starts on it
      continue;
    }
    inside = !inside;
  }
  return inside;
}

std::string call_fill(std::string_view pattern, const std::vector<std::string>& v) {
  switch (v.size()) {
    case 0:
      return fill(pattern, {});
    case 1:
      return fill(pattern, {v[0]});
    case 2:
      return fill(pattern, {v[0], v[1]});
    case 3:
      return fill(pattern, {v[0], v[1], v[2]});
    default:
      return fill(pattern, {v[0], v[1], v[2], v[3]});
  }
}

}  // namespace

void fuzz_sql_fill(const uint8_t* data, size_t size) {
  const Checker check("sql_fill");
  const std::string_view input = as_text(data, size);

  // The pattern up to the first zero byte, then up to four values separated by zero bytes.
  size_t end = std::min(input.size(), input.find('\0'));
  const std::string_view pattern = input.substr(0, end);
  std::vector<std::string> values;
  while (end < input.size() && values.size() < 4) {
    size_t next = std::min(input.size(), input.find('\0', end + 1));
    values.emplace_back(input.substr(end + 1, next - end - 1));
    end = next;
  }

  const std::string out = call_fill(pattern, values);
  std::vector<size_t> positions;
  const std::string plain = naive_fill(pattern, values, &positions);

  bool any_quote = false;
  bool all_in_literals = true;
  for (size_t i = 0; i < positions.size(); ++i) {
    any_quote = any_quote || values[i].find('\'') != std::string::npos;
    all_in_literals = all_in_literals && inside_literal(pattern, positions[i]);
  }
  if (!any_quote) check(out == plain, "values without quotes are put in as they stand");
  if (!all_in_literals) return;

  // Every value goes between quotes: the statement must read as the pattern does, each literal
  // holding its values exactly as given, however many quotes they hold, and no literal closed
  // early or left open. (A value outside any literal cannot be guarded by doubling; those are
  // schema names and numbers, checked where they are taken in.)
  std::vector<Token> expected = lex(pattern);
  size_t next = 0;
  for (Token& token : expected) {
    if (!token.literal) continue;
    std::string filled;
    size_t pos = 0;
    while (next < values.size()) {
      size_t s = token.content.find("%s", pos);
      size_t ld = token.content.find("%ld", pos);
      size_t at = std::min(s, ld);
      if (at == std::string::npos) break;
      filled.append(token.content, pos, at - pos);
      filled += values[next++];
      pos = at + (at == s ? 2 : 3);
    }
    filled.append(token.content, pos, std::string::npos);
    token.content = filled;
  }
  check(lex(out) == expected, "each literal holds its values unchanged, none closed early");
}

// ---------------------------------------------------------------------------------------------
// Download file reader.

namespace {

// An accepted IDSTAMM file as its lines must read: every line end a line feed, the last line
// ended too.
std::string lf_lines(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

// The lines the records give when written the way the IDSTAMM builder writes them.
std::string quoted_lines(const std::vector<show::Record>& records) {
  std::string out;
  for (const show::Record& record : records) {
    for (size_t i = 0; i < record.fields.size(); ++i) {
      out += i == 0 ? "\"" : ",\"";
      for (char c : record.fields[i]) out += c == '"' ? std::string("\"\"") : std::string(1, c);
      out += '"';
    }
    out += '\n';
  }
  return out;
}

// Length of the UTF-8 sequence starting at `at`; 0 when it is not a well-formed one.
size_t utf8_sequence(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t length = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

void check_table(const Checker& check, const show::Layout& layout,
                 const std::vector<show::Record>& records, show::Encoding encoding) {
  const std::string table = show::format_table(layout, records, encoding);
  check(static_cast<size_t>(std::count(table.begin(), table.end(), '\n')) == records.size() + 1,
        "a heading line and one line per record");
  check(table.find(" \n") == std::string::npos, "no line ends in blanks");
  for (size_t at = 0; at < table.size();) {
    const auto byte = static_cast<unsigned char>(table[at]);
    check(byte == '\n' || (byte >= 0x20 && byte != 0x7F), "no control byte reaches the terminal");
    const size_t length = encoding == show::Encoding::Utf8 ? utf8_sequence(table, at) : 1;
    check(length > 0, "UTF-8 output is well-formed");
    at += length;
  }
}

}  // namespace

void fuzz_download_reader(const uint8_t* data, size_t size) {
  const Checker check("download_reader");
  if (size == 0) return;
  const std::span<const show::Layout> layouts = show::all_layouts();
  const show::Layout& layout = layouts[data[0] % layouts.size()];
  const std::string_view bytes = as_text(data + 1, size - 1);

  const show::Contents contents = show::parse_download(layout, bytes);
  check(contents.ok == contents.problem.empty(), "a problem is named exactly for a refused file");
  check(contents.ok || contents.records.empty(), "a refused file gives no records");
  if (layout.record_length != 0) {
    check(contents.ok == (bytes.size() % layout.record_length == 0),
          "a fixed-length file is read exactly when it holds whole records");
    std::string joined;
    for (const show::Record& record : contents.records) {
      for (const std::string& field : record.fields) joined += field;
    }
    check(joined == (contents.ok ? bytes : std::string_view()),
          "the fields of the records are the file, every byte once and in order");
  } else if (contents.ok) {
    for (const show::Record& record : contents.records) {
      check(record.fields.size() == 13, "every line holds thirteen values");
    }
    check(quoted_lines(contents.records) == lf_lines(bytes),
          "the values written back quoted give the file's lines, nothing lost or added");
  }
  if (!contents.ok) return;

  check_table(check, layout, contents.records, show::Encoding::Cp1252);
  check_table(check, layout, contents.records, show::Encoding::Utf8);
  const show::Comparison same =
      show::compare_records(layout, contents.records, contents.records, show::Encoding::Utf8);
  check(!same.differ && same.text.empty(), "a file compared with itself shows no difference");
  if (!contents.records.empty()) {
    std::vector<show::Record> fewer(contents.records.begin(), contents.records.end() - 1);
    const show::Comparison dropped =
        show::compare_records(layout, contents.records, fewer, show::Encoding::Utf8);
    check(dropped.differ && dropped.text.find("removed") != std::string::npos,
          "a record left out shows as removed");
  }
}

void set_failure_handler(FailureHandler handler) {
  g_failure_handler = handler != nullptr ? handler : abort_on_failure;
}

}  // namespace varnoklis::fuzz
