#include "db/timeouts.h"

#include "base/seconds_setting.h"

namespace varnoklis {

bool read_database_timeouts(DatabaseTimeouts& timeouts) {
  return read_seconds_setting("VARNOKLIS_LOGIN_TIMEOUT", timeouts.login) &&
         read_seconds_setting("VARNOKLIS_QUERY_TIMEOUT", timeouts.query);
}

bool attribute_set_or_refused(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle,
                              Diagnostics& diag) {
  if (SQL_SUCCEEDED(rc)) return true;
  read_diagnostics(handle_type, handle, diag);
  return diag.state == "HYC00" || diag.state == "HY092" || diag.state == "01S02";
}

}  // namespace varnoklis
