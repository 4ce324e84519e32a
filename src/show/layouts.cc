#include "show/layouts.h"

#include <array>

#include "db/text.h"

namespace varnoklis::show {

namespace {

constexpr std::size_t kGroupPosition = 31;
constexpr std::size_t kGroupWidth = 5;
constexpr std::size_t kReaderWidth = 2;

constexpr Field group(std::string_view name, int reader) {
  return {name, kGroupPosition + kGroupWidth * static_cast<std::size_t>(reader - 1), kGroupWidth,
          reader};
}

// Group 07 of QZDNL17P carries "07" and the location short text when the badge has a location;
// the file cannot tell the two apart, so the column shows whichever the record holds.
constexpr std::array<Field, 16> kQzdnl17p = {{
    {"badge", 1, 13},
    {"valid from", 14, 8},
    {"time", 22, 1},
    {"access", 23, 1},
    {"balance", 24, 7},
    group("01", 1),
    group("02", 2),
    group("03", 3),
    group("04", 4),
    group("05", 5),
    group("06", 6),
    group("07", 7),
    group("08", 8),
    group("09", 9),
    group("10", 10),
    group("11", 11),
}};

// Each value follows its caption directly, as on the terminal's display: the caption's last
// position is a blank, or the first digit of the date that the first date line lends it.
constexpr std::array<Field, 17> kQzdnl18p = {{
    {"badge", 1, 13},
    {"label 1", 14, 13},
    {"value 1", 27, 7, 0, true},
    {"label 2", 34, 13},
    {"value 2", 47, 7, 0, true},
    {"label 3", 54, 13},
    {"value 3", 67, 7, 0, true},
    {"label 4", 74, 13},
    {"value 4", 87, 7, 0, true},
    {"label 5", 94, 13},
    {"value 5", 107, 7, 0, true},
    {"label 6", 114, 13},
    {"value 6", 127, 7, 0, true},
    {"label 7", 134, 13},
    {"value 7", 147, 7, 0, true},
    {"label 8", 154, 13},
    {"value 8", 167, 7, 0, true},
}};

constexpr std::array<Field, 9> kQzdnl31p = {{
    {"badge", 1, 13},
    {"valid from", 14, 8},
    {"valid to", 22, 8},
    {"time", 30, 1},
    {"access", 31, 1},
    {"fixed", 32, 8},
    {"code", 40, 3},
    {"class", 43, 3},
    {"location", 46, 3},
}};

constexpr std::array<Field, 8> kQzdnl60p = {{
    {"badge", 1, 13},
    {"valid from", 14, 8},
    {"time", 22, 1},
    {"access", 23, 1},
    {"balance", 24, 7},
    group("01", 1),
    group("02", 2),
    group("03", 3),
}};

constexpr std::array<Field, 13> kIdstamm = {{
    {"badge"},
    {"valid from"},
    {"valid to"},
    {"location"},
    {"time"},
    {"access"},
    {"language"},
    {"balance set"},
    {"code"},
    {"class"},
    {"spare"},
    {"person"},
    {"type"},
}};

constexpr std::array<Layout, 5> kLayouts = {{
    {"QZDNL17P", 85, kQzdnl17p},
    {"QZDNL18P", 173, kQzdnl18p},
    {"QZDNL31P", 48, kQzdnl31p},
    {"QZDNL60P", 45, kQzdnl60p},
    {"IDSTAMM", 0, kIdstamm},
}};

std::string_view without_trailing_blanks(std::string_view text) {
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

const Layout* find_layout(std::string_view keyword) {
  std::string upper(keyword);
  upper_case(upper);
  for (const Layout& layout : kLayouts) {
    if (upper == layout.keyword) return &layout;
  }
  return nullptr;
}

std::span<const Layout> all_layouts() {
  return kLayouts;
}

// A group that does not start with its own reader number (never written so by a builder) is
// shown whole, so that nothing in the file is hidden.
std::string_view shown_value(const Layout& layout, const Field& field, std::string_view raw) {
  if (layout.record_length == 0) return raw;
  if (field.reader != 0) {
    const char number[] = {static_cast<char>('0' + field.reader / 10),
                           static_cast<char>('0' + field.reader % 10)};
    if (raw.substr(0, kReaderWidth) == std::string_view(number, kReaderWidth)) {
      raw.remove_prefix(kReaderWidth);
    }
  }
  return without_trailing_blanks(raw);
}

}  // namespace varnoklis::show
