// libFuzzer entry: download file reader, table and comparison on arbitrary file bytes.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnoklis::fuzz::fuzz_download_reader(data, size);
  return 0;
}
