#include "records/badge_diff.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace varnoklis::records {
namespace {

// A file of `bytes` without a name, read from its start.
int file_of(const std::string& bytes) {
  int fd = ::memfd_create("badges", MFD_CLOEXEC);
  EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  return fd;
}

std::string fixed(const std::string& badge, char fill) {
  std::string record = badge + std::string(13 - badge.size(), ' ');
  return record + std::string(kQzdnl60p.record_length - record.size(), fill);
}

std::string line(const std::string& badge, const std::string& cls, const char* end = "\r\n") {
  return "\"" + badge + "\",\"\",\"\",\"\",\"1\",\"1\",\"\",\"\",\"001\",\"" + cls +
         "\",\"\",\"\",\"1\"" + end;
}

struct Case {
  const char* keyword;
  std::string old_bytes, new_bytes, line;
};

// A badge's records compare as a set whatever their order; an unsorted old file, a doubled
// quote, a last line without its end and LF lines are whole records; anything else is not.
TEST(BadgeDiff, CountsDistinctBadgesOrNotComparable) {
  const std::string kNot =
      "Gegenueber bisheriger Datei: nicht vergleichbar (keine ganzen Saetze)\n";
  const Case cases[] = {
      {"QZDNL60P", fixed("9", 'a') + fixed("2", 'a') + fixed("2", 'b') + fixed("3", 'a'),
       fixed("3", 'x') + fixed("2", 'b') + fixed("2", 'a') + fixed("4", 'a'),
       "Gegenueber bisheriger Datei: 1 neu, 1 entfallen, 1 geaendert (von 3)\n"},
      {"QZDNL60P", fixed("2", 'a') + fixed("2", 'a'), fixed("2", 'a'),
       "Gegenueber bisheriger Datei: 0 neu, 0 entfallen, 1 geaendert (von 1)\n"},
      {"QZDNL60P", fixed("2", 'a') + "x", fixed("2", 'a'), kNot},
      {"QZDNL60P", "", "",
       "Gegenueber bisheriger Datei: 0 neu, 0 entfallen, 0 geaendert (von 0)\n"},
      {"IDSTAMM",
       line("1\"\"2", "10") + line("1234567890123456789", "10", "\n") + line("7", "1", ""),
       line("1234567890123456789", "10") + line("1\"\"2", "11") + line("12345678901234567", "1"),
       "Gegenueber bisheriger Datei: 1 neu, 1 entfallen, 1 geaendert (von 3)\n"},
      {"IDSTAMM", line("1", "10") + "\"1\",\"2\"\r\n", line("1", "10"), kNot},
      {"IDSTAMM", line("1", "10"), line("1", "10") + "\r\n", kNot},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.old_bytes);
    int old_fd = file_of(c.old_bytes), new_fd = file_of(c.new_bytes);
    BadgeDiff diff = compare_badges(*find_layout(c.keyword), old_fd, new_fd);
    EXPECT_EQ(badge_diff_line(diff), c.line);
    EXPECT_EQ(::lseek(new_fd, 0, SEEK_CUR), static_cast<off_t>(c.new_bytes.size()));
    ::close(old_fd);
    ::close(new_fd);
  }
}

}  // namespace
}  // namespace varnoklis::records
