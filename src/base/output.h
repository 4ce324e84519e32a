#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace varnoklis {

/// Prints a message on standard output, formatted like printf, and flushes it. The format is
/// the program's own text in code page 1252, written in the message encoding; the values are
/// printed as given (wrap the database's in `from_database`).
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Whether messages are written in UTF-8 rather than code page 1252; decided once per process.
bool utf8_messages();

/// A text in code page 1252 (the program's or the database's) in the message encoding.
std::string message_text(std::string_view text);

/// A value read from the database, in the message encoding.
inline std::string from_database(std::string_view value) {
  return message_text(value);
}

/// Sends the calling thread's messages to `sink` from now on; nullptr: standard output again.
void set_thread_output(std::FILE* sink);

/// The errno of the first message that could not be written or flushed to the calling thread's
/// sink since it was set; 0 when every one was.
int thread_output_error();

}  // namespace varnoklis
