#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace varnoklis {

/// The SQL dialect of the connected database.
enum class Dialect { SqlServer, Sqlite };

/// One statement of the program: the SQL Server text and, where SQL Server syntax has no SQLite
/// equivalent, the SQLite text (empty when both dialects share the SQL Server text).
struct SqlText {
  std::string_view server;
  std::string_view sqlite;
};

/// The text of `sql` for `dialect`.
std::string_view pick(const SqlText& sql, Dialect dialect);

/// The values filled into a statement text's placeholders, in order.
using Values = std::span<const std::string_view>;

/// Puts the values into the placeholders %s and %ld of `pattern`, in order, each value's single
/// quotes doubled so that no value can change the statement.
std::string fill(std::string_view pattern, Values values);
/// `fill` with the values listed.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values);

/// `fill` on the text of `sql` for `dialect`.
std::string fill(const SqlText& sql, Dialect dialect, Values values);

/// `fill` on the text of `sql` for `dialect`.
std::string fill(const SqlText& sql, Dialect dialect,
                 std::initializer_list<std::string_view> values);

}  // namespace varnoklis
