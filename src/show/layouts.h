// Record layouts of the download files as the operator tools read them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace varnoklis::show {

/// One field of a record: its column name and, in a fixed-length record, its 1-based position
/// and width. `reader` is the reader number of a reader group (0 for any other field); a
/// `joined` field is printed right after the whole field before it, as a display line shows
/// its caption and value.
struct Field {
  std::string_view name;
  std::size_t position = 0;
  std::size_t width = 0;
  int reader = 0;
  bool joined = false;
};

/// The layout of one download function. A record length of 0 means lines of quoted values.
struct Layout {
  std::string_view keyword;
  std::size_t record_length = 0;
  std::span<const Field> fields;
};

/// The layout of a download-function keyword in any letter case; nullptr for an unknown one.
const Layout* find_layout(std::string_view keyword);

/// The five layouts, in the order QZDNL17P, QZDNL18P, QZDNL31P, QZDNL60P, IDSTAMM.
std::span<const Layout> all_layouts();

/// A field's value as the operator reads it: a fixed-length field without its trailing blanks,
/// a reader group as its class (the reader number is the column name), a quoted value as it is.
std::string_view shown_value(const Layout& layout, const Field& field, std::string_view raw);

}  // namespace varnoklis::show
