#include "show/table.h"

#include <algorithm>

namespace varnoklis::show {

namespace {

constexpr std::size_t kColumnGap = 2;

using Row = std::vector<Cell>;

// Blanks owed before the next cell are written only when a non-empty cell follows, so a line
// never ends in padding.
void append_row(const Row& row, const std::vector<std::size_t>& widths, std::string& out) {
  std::size_t owed = 0;
  for (std::size_t column = 0; column < row.size(); ++column) {
    const Cell& cell = row[column];
    if (!cell.text.empty()) {
      out.append(owed, ' ');
      out += cell.text;
      owed = 0;
    }
    owed += widths[column] - cell.width + kColumnGap;
  }
  out += '\n';
}

}  // namespace

std::string format_table(const Layout& layout, const std::vector<Record>& records,
                         Encoding encoding) {
  std::vector<Row> rows;
  Row& header = rows.emplace_back();
  for (const Field& field : layout.fields) header.push_back(render(field.name, encoding));
  for (const Record& record : records) {
    Row& row = rows.emplace_back();
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
      row.push_back(render(shown_value(layout, layout.fields[i], record.fields[i]), encoding));
    }
  }
  std::vector<std::size_t> widths(layout.fields.size(), 0);
  for (const Row& row : rows) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].width);
    }
  }
  std::string out;
  for (const Row& row : rows) append_row(row, widths, out);
  return out;
}

}  // namespace varnoklis::show
