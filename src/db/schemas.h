#pragma once

#include <string>
#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"
#include "db/statement.h"

namespace varnoklis {

/// The client schemas linked to a terminal through its active assignments.
extern const SqlText kLinkedSchemasSql;
/// Every active client schema.
extern const SqlText kAllSchemasSql;

/// A list of client schema names, read one at a time.
class SchemaList {
 public:
  /// Opens the schemas linked to `terminal`: 0, -1 or the native error number.
  int open_linked(Session& session, std::string_view terminal);
  /// Opens every active client schema: 0, -1 or the native error number.
  int open_all(Session& session);
  /// Next schema name, right-trimmed, at most 20 characters; rows without a name are skipped.
  /// 0, 100 at the end, -1 on failure or when not open.
  int fetch(std::string& name);
  /// Closes the list; nothing when closed.
  void close() { cursor_.close(); }

 private:
  Cursor cursor_;
};

}  // namespace varnoklis
