#include "base/output.h"

#include <cstdarg>
#include <cstdio>

namespace varnoklis {

void print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
}

}  // namespace varnoklis
