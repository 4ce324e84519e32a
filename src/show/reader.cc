#include "show/reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/files.h"

namespace varnoklis::show {

namespace {

using records::kQuotedValues;

Contents fail(std::string problem) {
  Contents contents;
  contents.problem = std::move(problem);
  return contents;
}

// A line ends at its line feed; a carriage return just before it belongs to the line end.
Contents parse_lines(std::string_view bytes) {
  Contents contents;
  std::size_t number = 0;
  for (std::size_t start = 0; start < bytes.size();) {
    ++number;
    std::size_t end = bytes.find('\n', start);
    std::string_view line = bytes.substr(start, end == std::string_view::npos ? end : end - start);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    Record& record = contents.records.emplace_back();
    if (!records::split_quoted_line(line, record.fields)) {
      return fail("line " + std::to_string(number) + " does not split into " +
                  std::to_string(kQuotedValues) + " quoted values");
    }
    start = end == std::string_view::npos ? bytes.size() : end + 1;
  }
  contents.ok = true;
  return contents;
}

Contents parse_fixed(const Layout& layout, std::string_view bytes) {
  const std::size_t length = layout.record_length;
  if (bytes.size() % length != 0) {
    return fail(std::to_string(bytes.size()) + " bytes are not whole records of " +
                std::to_string(length) + " bytes (" + std::string(layout.keyword) + ")");
  }
  Contents contents;
  for (std::size_t start = 0; start < bytes.size(); start += length) {
    Record& record = contents.records.emplace_back();
    for (const Field& field : layout.fields) {
      record.fields.emplace_back(bytes.substr(start + field.position - 1, field.width));
    }
  }
  contents.ok = true;
  return contents;
}

std::string system_problem(int error) {
  return error == ENOENT ? std::string("no such file")
                         : std::string("cannot read: ") + std::strerror(error);
}

// Only a regular file is read: a folder, a pipe or a device is no download file, and reading
// one could block or never end. Even the open of a FIFO blocks until a writer comes, unless it
// is opened without blocking; a regular file reads the same either way.
bool read_regular_file(const std::string& path, std::string& bytes, std::string& problem) {
  FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (!in.ok() || ::fstat(in.get(), &info) != 0) {
    problem = system_problem(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    problem = "not a regular file";
    return false;
  }
  if (!read_whole(in.get(), bytes)) {
    problem = system_problem(errno);
    return false;
  }
  return true;
}

}  // namespace

Contents parse_download(const Layout& layout, std::string_view bytes) {
  return layout.record_length == 0 ? parse_lines(bytes) : parse_fixed(layout, bytes);
}

Contents read_download(const Layout& layout, const std::string& path) {
  std::string bytes;
  std::string problem;
  if (!read_regular_file(path, bytes, problem)) return fail(problem);
  return parse_download(layout, bytes);
}

std::string_view badge_of(const Layout& layout, const Record& record) {
  return shown_value(layout, layout.fields[0], record.fields[0]);
}

}  // namespace varnoklis::show
