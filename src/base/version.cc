#include "base/version.h"

#include <cstdio>
#include <cstring>

#include "base/project_version.h"

namespace varnoklis {

bool answer_version(int argc, const char* const* argv, const char* program) {
  if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return false;
  std::printf("%s %s\n", program, kProjectVersion);
  return true;
}

}  // namespace varnoklis
