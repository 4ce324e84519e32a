#include "show/layouts.h"

#include <string>

#include "db/text.h"

namespace varnoklis::show {

namespace {

std::string_view without_trailing_blanks(std::string_view text) {
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

const Layout* find_layout(std::string_view keyword) {
  std::string upper(keyword);
  upper_case(upper);
  return records::find_layout(upper);
}

std::span<const Layout> all_layouts() {
  return records::all_layouts();
}

// A group that does not start with its own reader number (never written so by a builder) is
// shown whole, so that nothing in the file is hidden.
std::string_view shown_value(const Layout& layout, const Field& field, std::string_view raw) {
  if (layout.record_length == 0) return raw;
  if (field.reader != 0) {
    const records::ReaderGroup group = records::reader_group(field.reader);
    if (raw.substr(0, group.reader.width) == group.reader.name)
      raw.remove_prefix(group.reader.width);
  }
  return without_trailing_blanks(raw);
}

}  // namespace varnoklis::show
