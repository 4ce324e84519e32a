#include "show/table.h"

#include <algorithm>

namespace varnoklis::show {

namespace {

constexpr std::size_t kColumnGap = 2;

using Row = std::vector<Cell>;

bool followed_by_joined(const Layout& layout, std::size_t column) {
  return column + 1 < layout.fields.size() && layout.fields[column + 1].joined;
}

// The field before a joined one is shown whole, trailing blanks included, so that the two read
// as one display line.
Cell cell_of(const Layout& layout, const Record& record, std::size_t column, Encoding encoding) {
  const std::string& raw = record.fields[column];
  if (followed_by_joined(layout, column)) return render(raw, encoding);
  return render(shown_value(layout, layout.fields[column], raw), encoding);
}

// Trailing blanks of a line, padding or a value's own, are dropped: they cannot be seen.
void append_row(const Layout& layout, const Row& row, const std::vector<std::size_t>& widths,
                std::string& out) {
  std::string line;
  for (std::size_t column = 0; column < row.size(); ++column) {
    line += row[column].text;
    line.append(widths[column] - row[column].width, ' ');
    if (!followed_by_joined(layout, column)) line.append(kColumnGap, ' ');
  }
  line.erase(line.find_last_not_of(' ') + 1);
  out += line;
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
    for (std::size_t column = 0; column < layout.fields.size(); ++column) {
      row.push_back(cell_of(layout, record, column, encoding));
    }
  }
  std::vector<std::size_t> widths(layout.fields.size(), 0);
  for (const Row& row : rows) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].width);
    }
  }
  std::string out;
  for (const Row& row : rows) append_row(layout, row, widths, out);
  return out;
}

}  // namespace varnoklis::show
