// Preloaded by the midnight test: the process's clock runs one day ahead from the moment it has
// sent VARNOKLIS_MIDNIGHT_AFTER staging inserts, so that a run crosses midnight at the same badge
// whether it asks a question once or for every badge. The day is what matters, not the hour.
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

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

SQLRETURN SQLExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  static auto real = next<SQLRETURN (*)(SQLHSTMT, SQLCHAR*, SQLINTEGER)>("SQLExecDirect");
  SQLRETURN rc = real(statement, text, length);
  if (std::strstr(reinterpret_cast<const char*>(text), "INSERT INTO KvxCore.Kvx999Tmp")) ++staged;
  return rc;
}

time_t time(time_t* out) noexcept {
  static auto real = next<time_t (*)(time_t*)>("time");
  time_t now = real(nullptr) + shift();
  if (out != nullptr) *out = now;
  return now;
}

int gettimeofday(struct timeval* __restrict now, void* __restrict zone) noexcept {
  static auto real = next<int (*)(struct timeval*, void*)>("gettimeofday");
  int rc = real(now, zone);
  if (rc == 0) now->tv_sec += shift();
  return rc;
}

int clock_gettime(clockid_t clock, struct timespec* now) noexcept {
  static auto real = next<int (*)(clockid_t, struct timespec*)>("clock_gettime");
  int rc = real(clock, now);
  if (rc == 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE)) {
    now->tv_sec += shift();
  }
  return rc;
}

}  // extern "C"
