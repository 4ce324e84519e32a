#include "batch/job_file.h"

#include <gtest/gtest.h>

namespace varnoklis::batch {
namespace {

// Only a file's first job may replace it; later ones append with its keyword, each job once. The
// keyword check comes first, a replace before a repeat; terminal and path compare as the database
// compares them.
TEST(JobFile, LaterJobsOfAFileOnlyAppendOnce) {
  struct Case {
    const char* text;
    const char* errors;
  };
  const Case kCases[] = {
      {"QZDNL17P T01 a.dat 1\nQZDNL17P T04 a.dat 0\nQZDNL17P T05 A.DAT  0\n", ""},
      {"QZDNL17P T01 a.dat 1\nQZDNL17P T04 a.dat 1\n",
       "j:2: replaces the file that line 1 writes\n"},
      {"QZDNL17P T01 a.dat 0\nQZDNL17P T02 b.dat 1\nqzdnl17p t01 A.DAT 0\n",
       "j:3: repeats the job of line 1\n"},
      {"QZDNL17P T01 a.dat 1\nQZDNL17P T01 a.dat 1\nIDSTAMM T01 a.dat 1\nQZDNL17P T02 a.dat 0\n"
       "QZDNL17P T02 a.dat 0\n",
       "j:2: replaces the file that line 1 writes\n"
       "j:3: path a.dat is also written by line 1 with another keyword, QZDNL17P\n"
       "j:5: repeats the job of line 4\n"},
      {"# only comments\n\n   \n", "j: no jobs\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    JobFile file = parse_jobs("j", c.text);
    std::string errors;
    for (const std::string& error : file.errors) errors += error + "\n";
    EXPECT_EQ(errors, c.errors);
  }
}

}  // namespace
}  // namespace varnoklis::batch
