// Properties checked on arbitrary input by the libFuzzer targets, and replayed over the committed
// corpus by the normal test suite. A violated property calls the failure handler; the default
// handler prints what failed and aborts, so libFuzzer records the input as a crash.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnoklis::fuzz {

/// Configuration reader: the first byte picks the group, key and number asked for; the rest is
/// the raw file content.
void fuzz_config_reader(const uint8_t* data, size_t size);

/// Credential cipher: the whole input as enciphered text, and round trips of plaintexts taken
/// from the input.
void fuzz_cipher_hex(const uint8_t* data, size_t size);

/// Terminal number texts (day balances in minutes, vacation figures in days) and the record
/// helpers that place and trim texts.
void fuzz_number_text(const uint8_t* data, size_t size);

/// Statement filling: the input split at zero bytes into the pattern and up to four values.
void fuzz_sql_fill(const uint8_t* data, size_t size);

/// Download file reader: the first byte picks the layout, the rest is the file; accepted files
/// are also printed as tables and compared.
void fuzz_download_reader(const uint8_t* data, size_t size);

/// Called with the target's name and the property that failed. It must not return normally
/// (abort, or throw to let a test report the input).
using FailureHandler = void (*)(const char* target, const char* property);
void set_failure_handler(FailureHandler handler);

}  // namespace varnoklis::fuzz
