#pragma once

#include <cstdio>

namespace varnoklis {

/// Prints a message of the program on the calling thread's output (standard output unless
/// set_thread_output named another), formatted like printf, and flushes it.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Sends the calling thread's messages to `sink` from now on; nullptr: standard output again.
void set_thread_output(std::FILE* sink);

}  // namespace varnoklis
