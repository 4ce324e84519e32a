#pragma once

namespace varnoklis {

/// Prints a message of the program on standard output, formatted like printf.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace varnoklis
