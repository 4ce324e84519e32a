#include "db/sql_text.h"

namespace varnoklis {

std::string_view pick(const SqlText& sql, Dialect dialect) {
  return dialect == Dialect::Sqlite && !sql.sqlite.empty() ? sql.sqlite : sql.server;
}

namespace {

void append_quoted(std::string& out, std::string_view value) {
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
}

// Length of the placeholder starting at `pos`, 0 when there is none.
std::size_t placeholder_at(std::string_view pattern, std::size_t pos) {
  if (pattern.compare(pos, 2, "%s") == 0) return 2;
  if (pattern.compare(pos, 3, "%ld") == 0) return 3;
  return 0;
}

}  // namespace

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 64);
  auto value = values.begin();
  for (std::size_t pos = 0; pos < pattern.size();) {
    std::size_t length = value != values.end() ? placeholder_at(pattern, pos) : 0;
    if (length == 0) {
      out += pattern[pos++];
      continue;
    }
    append_quoted(out, *value++);
    pos += length;
  }
  return out;
}

std::string fill(const SqlText& sql, Dialect dialect,
                 std::initializer_list<std::string_view> values) {
  return fill(pick(sql, dialect), values);
}

}  // namespace varnoklis
