#include "base/output.h"

#include <cerrno>
#include <cstdarg>

#include "base/encoding.h"

namespace varnoklis {

namespace {

// Each thread of a batch writes one job's messages to that job's own log.
thread_local std::FILE* thread_sink = nullptr;
thread_local int thread_error = 0;

}  // namespace

bool utf8_messages() {
  static const bool utf8 = locale_is_utf8();
  return utf8;
}

std::string message_text(std::string_view text) {
  return utf8_messages() ? utf8_of_cp1252(text) : std::string(text);
}

// Some messages end without a line feed; flushing each one still shows a run in a log as it
// goes, and keeps the last message of a run that is killed.
void print(const char* format, ...) {
  std::FILE* out = thread_sink != nullptr ? thread_sink : stdout;
  std::string own = message_text(format);
  va_list args;
  va_start(args, format);
  bool written = std::vfprintf(out, own.c_str(), args) >= 0;
  va_end(args);
  written = std::fflush(out) == 0 && written;
  // A job's log that lost a message must not pass for whole; the first reason is kept.
  if (!written && out == thread_sink && thread_error == 0) thread_error = errno != 0 ? errno : EIO;
}

void set_thread_output(std::FILE* sink) {
  thread_sink = sink;
  thread_error = 0;
}

int thread_output_error() {
  return thread_error;
}

}  // namespace varnoklis
