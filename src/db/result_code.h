#pragma once

namespace varnoklis {

/// Result of a fetch (and of the queries built on one) when no row, or no further row, is left:
/// the code of ODBC's SQL_NO_DATA, printed as it is in the messages that show a result.
inline constexpr int kNoData = 100;

/// Result of Session::switch_schema when the embedded store has no file for the schema.
inline constexpr int kSchemaFileMissing = -1;
/// Result of Session::switch_schema when the schema's file could not be attached (or the
/// previous one not detached).
inline constexpr int kSchemaNotAttached = -2;

}  // namespace varnoklis
