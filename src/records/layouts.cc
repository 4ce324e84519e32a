#include "records/layouts.h"

#include <algorithm>

namespace varnoklis::records {

namespace {

constexpr const TimeAccessFields& kHead = kTimeAccess;

constexpr std::array<Field, 5> kHeadFields = {kHead.badge, kHead.valid_from, kHead.time,
                                              kHead.access, kHead.balance};

// The shared leading fields, then one group per reader.
template <int Readers>
constexpr std::array<Field, kHeadFields.size() + Readers> time_access_fields() {
  std::array<Field, kHeadFields.size() + Readers> fields{};
  std::copy(kHeadFields.begin(), kHeadFields.end(), fields.begin());
  for (int reader = 1; reader <= Readers; ++reader) {
    fields[kHeadFields.size() + static_cast<std::size_t>(reader - 1)] = reader_group(reader).whole;
  }
  return fields;
}

constexpr auto kQzdnl17pFields = time_access_fields<kQzdnl17p.readers>();
constexpr std::array<Field, 3> kQzdnl17pSpans = {
    {kHead.flags, kHead.open_valid_from, kQzdnl17p.location}};

constexpr std::array<Field, 1 + 2 * kDisplayLines> kQzdnl18pFields = [] {
  std::array<Field, 1 + 2 * kDisplayLines> fields{kQzdnl18p.badge};
  for (std::size_t line = 0; line < kDisplayLines; ++line) {
    fields[1 + 2 * line] = kQzdnl18p.lines[line].label;
    fields[2 + 2 * line] = kQzdnl18p.lines[line].value;
  }
  return fields;
}();
constexpr std::array<Field, kDisplayLines> kQzdnl18pSpans = [] {
  std::array<Field, kDisplayLines> spans{};
  for (std::size_t line = 0; line < kDisplayLines; ++line) spans[line] = kQzdnl18p.lines[line].date;
  return spans;
}();

constexpr const Qzdnl31pLayout& k31 = kQzdnl31p;
constexpr std::array<Field, 9> kQzdnl31pFields = {{k31.badge, k31.valid_from, k31.valid_to,
                                                   k31.time, k31.access, k31.fixed, k31.code,
                                                   k31.class_code, k31.location}};
constexpr std::array<Field, 3> kQzdnl31pSpans = {
    {k31.flags, k31.open_valid_from, k31.open_valid_to}};

constexpr auto kQzdnl60pFields = time_access_fields<kQzdnl60p.readers>();
constexpr std::array<Field, 2> kQzdnl60pSpans = {{kHead.flags, kHead.open_valid_from}};

constexpr const IdstammLayout& kId = kIdstamm;
constexpr std::array<Field, kQuotedValues> kIdstammFields = {
    {kId.badge, kId.valid_from, kId.valid_to, kId.location, kId.time, kId.access, kId.language,
     kId.balance_set, kId.code, kId.class_code, kId.spare, kId.person, kId.type}};

constexpr std::array<Layout, 5> kLayouts = {{
    {"QZDNL17P", kQzdnl17p.record_length, false, kQzdnl17pFields, kQzdnl17pSpans},
    {"QZDNL18P", kQzdnl18p.record_length, false, kQzdnl18pFields, kQzdnl18pSpans},
    {"QZDNL31P", kQzdnl31p.record_length, false, kQzdnl31pFields, kQzdnl31pSpans},
    {"QZDNL60P", kQzdnl60p.record_length, false, kQzdnl60pFields, kQzdnl60pSpans},
    {"IDSTAMM", 0, true, kIdstammFields, {}},
}};

}  // namespace

void set_value(QuotedValues& values, const Field& field, std::string_view value) {
  values[field.position - 1] = value;
}

// A quote inside a value is doubled, so that every line still splits into its values.
void write_quoted_line(const QuotedValues& values, std::string& line) {
  line.clear();
  for (std::string_view value : values) {
    if (!line.empty()) line += kValueSeparator;
    line += kQuote;
    for (char c : value) {
      line += c;
      if (c == kQuote) line += kQuote;
    }
    line += kQuote;
  }
  line += '\n';
}

namespace {

// Reads one quoted value starting at `at` (on its opening quote) and leaves `at` behind the
// closing quote.
bool read_quoted(std::string_view line, std::size_t& at, std::string& value) {
  if (at >= line.size() || line[at] != kQuote) return false;
  for (++at; at < line.size(); ++at) {
    if (line[at] != kQuote) {
      value += line[at];
    } else if (at + 1 < line.size() && line[at + 1] == kQuote) {
      value += kQuote;
      ++at;
    } else {
      ++at;
      return true;
    }
  }
  return false;
}

}  // namespace

bool split_quoted_line(std::string_view line, std::vector<std::string>& values) {
  values.clear();
  std::size_t at = 0;
  while (true) {
    if (!read_quoted(line, at, values.emplace_back())) return false;
    if (at == line.size()) return values.size() == kQuotedValues;
    if (values.size() == kQuotedValues || line[at++] != kValueSeparator) return false;
  }
}

const Layout* find_layout(std::string_view keyword) {
  for (const Layout& layout : kLayouts) {
    if (keyword == layout.keyword) return &layout;
  }
  return nullptr;
}

std::span<const Layout> all_layouts() {
  return kLayouts;
}

std::string keyword_list() {
  std::string list;
  for (std::size_t i = 0; i < kLayouts.size(); ++i) {
    if (i > 0) list += i + 1 == kLayouts.size() ? " or " : ", ";
    list += kLayouts[i].keyword;
  }
  return list;
}

}  // namespace varnoklis::records
