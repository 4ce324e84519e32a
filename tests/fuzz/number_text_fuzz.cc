// libFuzzer entry: terminal number texts and record text helpers, and statement filling; both
// read the same bytes, each in its own way.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnoklis::fuzz::fuzz_number_text(data, size);
  varnoklis::fuzz::fuzz_sql_fill(data, size);
  return 0;
}
