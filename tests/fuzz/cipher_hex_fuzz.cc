// libFuzzer entry: credential cipher on arbitrary text, and its round trip.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnoklis::fuzz::fuzz_cipher_hex(data, size);
  return 0;
}
