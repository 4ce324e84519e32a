#pragma once

#include "db/odbc.h"

namespace varnoklis {

/// How long the driver may take to log in and to execute a statement, in seconds; 0 waits
/// without limit.
struct DatabaseTimeouts {
  int login = 30;
  int query = 600;
};

/// Reads `VARNOKLIS_LOGIN_TIMEOUT` and `VARNOKLIS_QUERY_TIMEOUT` (unset or empty: the defaults);
/// prints the parameter message and returns false for a value that is not 0 to 86400 seconds.
bool read_database_timeouts(DatabaseTimeouts& timeouts);

/// Whether the work may go on after setting an attribute on `handle` returned `rc`: it was set,
/// or the driver only refused the attribute (HYC00, HY092, 01S02); otherwise `diag` holds why.
bool attribute_set_or_refused(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle,
                              Diagnostics& diag);

}  // namespace varnoklis
