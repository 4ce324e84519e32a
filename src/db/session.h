#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "db/odbc.h"
#include "db/sql_text.h"

namespace varnoklis {

/// Capacity of the current client schema name.
inline constexpr std::size_t kSchemaCapacity = 20;

/// The one database session of a run: connection, dialect, current client schema, diagnostics.
class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// Connects to the data source; 0 when connected, -1 otherwise (diagnostics filled).
  int connect(const std::string& data_source, const std::string& user, const std::string& password);

  /// Makes `name` the current client schema; with the embedded store it also attaches the
  /// schema's file. Returns 0, -1 when the embedded store has no file for the schema, or -2 when
  /// the file could not be attached (or the previous one not detached).
  int switch_schema(std::string_view name);

  /// The name that qualifies client tables in the statements.
  const std::string& schema() const { return schema_; }
  /// The dialect chosen after connecting.
  Dialect dialect() const { return dialect_; }
  /// The first diagnostic record of the last failed execution.
  Diagnostics& diagnostics() { return diagnostics_; }
  /// The connection handle; SQL_NULL_HANDLE before connecting.
  SQLHANDLE connection() const { return connection_.get(); }
  /// The folder of the embedded store (empty with SQL Server).
  const std::filesystem::path& store_folder() const { return store_folder_; }

  /// Number of statements executed so far.
  std::uint64_t statements_sent() const { return statements_sent_; }
  /// Counts one executed statement.
  void count_statement() { ++statements_sent_; }

 private:
  int attach_store();
  int run(const std::string& text);

  EnvHandle environment_;
  ConnectionHandle connection_;
  Dialect dialect_ = Dialect::SqlServer;
  std::string schema_;
  std::string attached_client_;
  std::filesystem::path store_folder_;
  Diagnostics diagnostics_;
  std::uint64_t statements_sent_ = 0;
};

/// The first diagnostic record of a failed connect as one line without line end,
/// "SQLSTATE: s ErrNr: n Text: t", with every trace of `password` in it shown as asterisks.
std::string describe_connect_failure(const Diagnostics& diagnostics, std::string_view password);

}  // namespace varnoklis
