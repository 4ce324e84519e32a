#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <utility>

namespace varnoklis {

/// The first diagnostic record of the last failed execution.
struct Diagnostics {
  std::string state;
  std::string message;
  std::int32_t native = 0;
};

/// How an ODBC call ended, as the program acts on it.
enum class Outcome { Ok, NoData, Error };

/// Classifies `rc` (success with information counts as Ok); on an error fills `diag`, when given,
/// from the first diagnostic record of the handle.
Outcome check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Diagnostics* diag);

/// Reads the first diagnostic record of the handle into `diag`, cleared first.
void read_diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle, Diagnostics& diag);

/// The result code of a failed execution: the native error number, or -1 where that is 0, so
/// that a failure is never mistaken for success.
int error_code(const Diagnostics& diag);

/// Owns one ODBC handle of one kind; frees it (a connection is disconnected first) on reset.
template <SQLSMALLINT Kind>
class Handle {
 public:
  Handle() = default;
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, SQL_NULL_HANDLE)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, SQL_NULL_HANDLE);
    }
    return *this;
  }

  /// Allocates a new handle on `parent` in place of the held one; returns the ODBC result.
  SQLRETURN allocate(SQLHANDLE parent) {
    reset();
    SQLRETURN rc = SQLAllocHandle(Kind, parent, &handle_);
    if (!SQL_SUCCEEDED(rc)) handle_ = SQL_NULL_HANDLE;
    return rc;
  }

  /// Frees the held handle, if any.
  void reset() {
    if (handle_ == SQL_NULL_HANDLE) return;
    if constexpr (Kind == SQL_HANDLE_DBC) {
      if (connected_) SQLDisconnect(handle_);
    }
    SQLFreeHandle(Kind, handle_);
    handle_ = SQL_NULL_HANDLE;
    connected_ = false;
  }

  /// Records that the connection is open, so reset disconnects it first.
  void mark_connected() { connected_ = true; }

  /// The raw handle, SQL_NULL_HANDLE when none is held.
  SQLHANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
  bool connected_ = false;
};

using EnvHandle = Handle<SQL_HANDLE_ENV>;
using ConnectionHandle = Handle<SQL_HANDLE_DBC>;
using StatementHandle = Handle<SQL_HANDLE_STMT>;

}  // namespace varnoklis
