#include "base/output.h"

#include <cstdarg>

namespace varnoklis {

namespace {

// Each thread of a batch writes one job's messages to that job's own log.
thread_local std::FILE* thread_sink = nullptr;

}  // namespace

void print(const char* format, ...) {
  std::FILE* out = thread_sink != nullptr ? thread_sink : stdout;
  va_list args;
  va_start(args, format);
  std::vfprintf(out, format, args);
  va_end(args);
  std::fflush(out);
}

void set_thread_output(std::FILE* sink) {
  thread_sink = sink;
}

}  // namespace varnoklis
