#include "base/seconds_setting.h"

#include <cstdlib>

#include "base/output.h"

namespace varnoklis {

bool read_seconds_setting(const char* name, int& seconds) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return true;
  long read = 0;
  const char* c = value;
  for (; *c >= '0' && *c <= '9' && read <= kLongestSetting; ++c) read = read * 10 + (*c - '0');
  if (*c != '\0' || read > kLongestSetting) {
    print("%s ungueltig (0 bis %d Sekunden): %s\n", name, kLongestSetting, value);
    return false;
  }
  seconds = static_cast<int>(read);
  return true;
}

}  // namespace varnoklis
