#include "db/odbc.h"

#include <cstring>

namespace varnoklis {

void read_diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle, Diagnostics& diag) {
  diag = Diagnostics{};
  SQLCHAR state[6] = {};
  SQLCHAR message[1000] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(handle_type, handle, 1, state, &native, message, sizeof message, &length);
  diag.state = reinterpret_cast<const char*>(state);
  diag.message = reinterpret_cast<const char*>(message);
  diag.native = native;
}

Outcome check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Diagnostics* diag) {
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return Outcome::Ok;
  if (rc == SQL_NO_DATA) return Outcome::NoData;
  if (diag != nullptr && rc == SQL_ERROR) read_diagnostics(handle_type, handle, *diag);
  return Outcome::Error;
}

int error_code(const Diagnostics& diag) {
  return diag.native != 0 ? diag.native : -1;
}

}  // namespace varnoklis
