#include "db/sql_text.h"

namespace varnoklis {

std::string_view pick(const SqlText& sql, Dialect dialect) {
  return dialect == Dialect::Sqlite && !sql.sqlite.empty() ? sql.sqlite : sql.server;
}

namespace {

void append_quoted(std::string& out, std::string_view value) {
  for (std::size_t quote; (quote = value.find('\'')) != std::string_view::npos;) {
    out.append(value.substr(0, quote + 1)).push_back('\'');
    value.remove_prefix(quote + 1);
  }
  out.append(value);
}

// Length of the placeholder starting at `pos`, 0 when there is none.
std::size_t placeholder_at(std::string_view pattern, std::size_t pos) {
  if (pattern.compare(pos, 2, "%s") == 0) return 2;
  if (pattern.compare(pos, 3, "%ld") == 0) return 3;
  return 0;
}

}  // namespace

std::string fill(std::string_view pattern, Values values) {
  std::string out;
  out.reserve(pattern.size() + 128);
  auto value = values.begin();
  std::size_t done = 0;
  for (std::size_t pos = pattern.find('%'); pos != std::string_view::npos && value != values.end();
       pos = pattern.find('%', pos + 1)) {
    std::size_t length = placeholder_at(pattern, pos);
    if (length == 0) continue;
    out.append(pattern.substr(done, pos - done));
    append_quoted(out, *value++);
    done = pos + length;
    pos = done - 1;
  }
  out.append(pattern.substr(done));
  return out;
}

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  return fill(pattern, Values(values.begin(), values.size()));
}

std::string fill(const SqlText& sql, Dialect dialect, Values values) {
  return fill(pick(sql, dialect), values);
}

std::string fill(const SqlText& sql, Dialect dialect,
                 std::initializer_list<std::string_view> values) {
  return fill(pick(sql, dialect), values);
}

}  // namespace varnoklis
