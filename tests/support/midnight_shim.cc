// Preloaded by the midnight test: the clock runs a day ahead once the process has sent
// VARNOKLIS_MIDNIGHT_AFTER staging inserts, so a run crosses midnight at the same badge with
// memory or without.
#include <dlfcn.h>
#include <sql.h>
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {
long staged = 0;
long shift() {
  const char* after = std::getenv("VARNOKLIS_MIDNIGHT_AFTER");
  return after != nullptr && staged >= std::atol(after) ? 86400 : 0;
}
}  // namespace

extern "C" {
SQLRETURN SQLExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  static auto real = reinterpret_cast<SQLRETURN (*)(SQLHSTMT, SQLCHAR*, SQLINTEGER)>(
      dlsym(RTLD_NEXT, "SQLExecDirect"));
  if (std::strstr(reinterpret_cast<const char*>(text), "INSERT INTO KvxCore.Kvx999Tmp")) ++staged;
  return real(statement, text, length);
}

time_t time(time_t* out) noexcept {
  time_t now = reinterpret_cast<time_t (*)(time_t*)>(dlsym(RTLD_NEXT, "time"))(nullptr) + shift();
  if (out != nullptr) *out = now;
  return now;
}

// The embedded store's 'now'.
int gettimeofday(struct timeval* __restrict now, void* __restrict zone) noexcept {
  int rc = reinterpret_cast<int (*)(timeval*, void*)>(dlsym(RTLD_NEXT, "gettimeofday"))(now, zone);
  if (rc == 0) now->tv_sec += shift();
  return rc;
}
}  // extern "C"
