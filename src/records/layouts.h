// The record layouts of the download files: what the builders write and the operator tools read.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnoklis::records {

/// One field of a record: its name and, in a fixed-length record, its 1-based position and width
/// (in a line of quoted values, its position is the value's number and its width 0). `reader` is
/// the reader number of a reader group (0 for any other field); a `joined` field is shown right
/// after the whole field before it, as a display line shows its caption and value.
struct Field {
  std::string_view name;
  std::size_t position = 0;
  std::size_t width = 0;
  int reader = 0;
  bool joined = false;

  /// The 0-based offset of the field's first position in its record.
  constexpr std::size_t offset() const { return position - 1; }
};

/// `text` without what goes beyond the width of `field`.
constexpr std::string_view cut(std::string_view text, const Field& field) {
  return text.substr(0, field.width);
}

/// The field without its first `skip` positions.
constexpr Field tail(Field field, std::size_t skip) {
  return {field.name, field.position + skip, field.width - skip, field.reader, field.joined};
}

/// The field with another name.
constexpr Field named(std::string_view name, Field field) {
  field.name = name;
  return field;
}

/// Every fixed-length record starts with the badge number; all but QZDNL18P follow it with the
/// valid-from date.
inline constexpr Field kBadge{"badge", 1, 13};
inline constexpr Field kValidFrom{"valid from", 14, 8};

/// Reader groups: from position kFirstGroupPosition, one per reader, each the reader number
/// followed by the badge's class.
inline constexpr std::size_t kFirstGroupPosition = 31;
inline constexpr std::size_t kGroupWidth = 5;
inline constexpr std::size_t kReaderWidth = 2;
inline constexpr int kMostReaderGroups = 11;

/// One reader group: the whole group, shown as one column named by its reader number, and its
/// two parts.
struct ReaderGroup {
  Field whole;
  Field reader;
  Field class_code;
};

inline constexpr std::array<std::string_view, kMostReaderGroups> kReaderNames = {
    "01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11"};

/// The group of reader `reader`, 1 to kMostReaderGroups.
constexpr ReaderGroup reader_group(int reader) {
  const std::string_view name = kReaderNames[static_cast<std::size_t>(reader - 1)];
  const Field whole{name, kFirstGroupPosition + kGroupWidth * static_cast<std::size_t>(reader - 1),
                    kGroupWidth, reader};
  return {whole, {name, whole.position, kReaderWidth}, tail(whole, kReaderWidth)};
}

/// The fields QZDNL17P and QZDNL60P share ahead of their reader groups. `flags` spans both flags,
/// which are cleared in one write; `open_valid_from` is the valid-from date written as zeros
/// when it is open (all blanks).
struct TimeAccessFields {
  Field badge = kBadge;
  Field valid_from = kValidFrom;
  Field time{"time", 22, 1};
  Field access{"access", 23, 1};
  Field balance{"balance", 24, 7};
  Field flags{"time and access", 22, 2};
  Field open_valid_from = named("open valid from", kValidFrom);
};
inline constexpr TimeAccessFields kTimeAccess{};

/// QZDNL17P: the shared fields and eleven reader groups. When the badge has a location, group 07
/// holds "07" and, in the class's place, the location short text (`location`).
struct Qzdnl17pLayout {
  std::size_t record_length = 85;
  int readers = 11;
  ReaderGroup location_group = reader_group(7);
  Field location = named("location", location_group.class_code);
};
inline constexpr Qzdnl17pLayout kQzdnl17p{};

/// QZDNL60P: the shared fields and three reader groups.
struct Qzdnl60pLayout {
  std::size_t record_length = 45;
  int readers = 3;
};
inline constexpr Qzdnl60pLayout kQzdnl60p{};

/// One display line of QZDNL18P: a caption, its value, and the eight-character date that, on the
/// first date line, starts on the caption's last position.
struct DisplayLine {
  Field label;
  Field value;
  Field date;
};

inline constexpr std::size_t kDisplayLines = 8;
inline constexpr std::size_t kFirstLinePosition = 14;
inline constexpr std::size_t kLabelWidth = 13;
inline constexpr std::size_t kValueWidth = 7;
inline constexpr std::size_t kDateWidth = 8;
inline constexpr std::array<std::string_view, kDisplayLines> kLabelNames = {
    "label 1", "label 2", "label 3", "label 4", "label 5", "label 6", "label 7", "label 8"};
inline constexpr std::array<std::string_view, kDisplayLines> kValueNames = {
    "value 1", "value 2", "value 3", "value 4", "value 5", "value 6", "value 7", "value 8"};
inline constexpr std::array<std::string_view, kDisplayLines> kDateNames = {
    "date 1", "date 2", "date 3", "date 4", "date 5", "date 6", "date 7", "date 8"};

/// Display line `index`, counted from 0.
constexpr DisplayLine display_line(std::size_t index) {
  const std::size_t label = kFirstLinePosition + (kLabelWidth + kValueWidth) * index;
  const std::size_t value = label + kLabelWidth;
  return {{kLabelNames[index], label, kLabelWidth},
          {kValueNames[index], value, kValueWidth, 0, true},
          {kDateNames[index], value - 1, kDateWidth}};
}

/// QZDNL18P: the badge number and eight display lines.
struct Qzdnl18pLayout {
  std::size_t record_length = 173;
  Field badge = kBadge;
  std::array<DisplayLine, kDisplayLines> lines = {display_line(0), display_line(1), display_line(2),
                                                  display_line(3), display_line(4), display_line(5),
                                                  display_line(6), display_line(7)};
};
inline constexpr Qzdnl18pLayout kQzdnl18p{};

/// QZDNL31P: a badge with access, its dates, flags and class. `flags` spans both flags, which are
/// cleared in one write; the open dates are the dates written as zeros when they are all blanks.
struct Qzdnl31pLayout {
  std::size_t record_length = 48;
  Field badge = kBadge;
  Field valid_from = kValidFrom;
  Field valid_to{"valid to", 22, 8};
  Field time{"time", 30, 1};
  Field access{"access", 31, 1};
  Field fixed{"fixed", 32, 8};
  Field code{"code", 40, 3};
  Field class_code{"class", 43, 3};
  Field location{"location", 46, 3};
  Field flags{"time and access", 30, 2};
  Field open_valid_from = named("open valid from", kValidFrom);
  Field open_valid_to = named("open valid to", valid_to);
};
inline constexpr Qzdnl31pLayout kQzdnl31p{};

/// IDSTAMM: one line per badge of thirteen values, each in double quotes (a quote inside doubled),
/// separated by commas; a value's position is its number in the line.
struct IdstammLayout {
  Field badge{"badge", 1};
  Field valid_from{"valid from", 2};
  Field valid_to{"valid to", 3};
  Field location{"location", 4};
  Field time{"time", 5};
  Field access{"access", 6};
  Field language{"language", 7};
  Field balance_set{"balance set", 8};
  Field code{"code", 9};
  Field class_code{"class", 10};
  Field spare{"spare", 11};
  Field person{"person", 12};
  Field type{"type", 13};
};
inline constexpr IdstammLayout kIdstamm{};
inline constexpr std::size_t kQuotedValues = 13;
inline constexpr char kQuote = '"';
inline constexpr char kValueSeparator = ',';

/// The values of one IDSTAMM line, in line order.
using QuotedValues = std::array<std::string_view, kQuotedValues>;

/// Sets the value of `field` in `values`.
void set_value(QuotedValues& values, const Field& field, std::string_view value);

/// Makes `line` the line of `values`: each quoted, a quote inside doubled, comma-separated,
/// ending in a line feed.
void write_quoted_line(const QuotedValues& values, std::string& line);

/// Splits one IDSTAMM line (without its line end) into its values, a doubled quote read as one;
/// false unless it is exactly thirteen quoted, comma-separated values.
bool split_quoted_line(std::string_view line, std::vector<std::string>& values);

/// The layout of one download function: its keyword, record length (0: lines of quoted values),
/// whether each record ends a line, the fields as shown (in a fixed-length record they tile it)
/// and the deliberate spans the builders write across or within them.
struct Layout {
  std::string_view keyword;
  std::size_t record_length = 0;
  bool line_end = false;
  std::span<const Field> fields;
  std::span<const Field> spans;
};

/// The layout of an upper-case download-function keyword; nullptr for an unknown one.
const Layout* find_layout(std::string_view keyword);

/// The five layouts, in the order QZDNL17P, QZDNL18P, QZDNL31P, QZDNL60P, IDSTAMM.
std::span<const Layout> all_layouts();

/// The layouts' keywords for a help text, in layout order: "QZDNL17P, QZDNL18P, QZDNL31P,
/// QZDNL60P or IDSTAMM".
std::string keyword_list();

}  // namespace varnoklis::records
