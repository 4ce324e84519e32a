#include "show/show.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/temp_store.h"

namespace varnoklis::show {
namespace {

const std::string kData = VARNOKLIS_SOURCE_DIR "/tests/show/data/";

const std::string kUsage =
    "usage: varnoklis-show KEYWORD FILE [--badge NUMBER]            print a download file as a "
    "table\n"
    "       varnoklis-show --diff KEYWORD OLD NEW [--badge NUMBER]  list what changed from OLD "
    "to NEW\n"
    "KEYWORD: QZDNL17P, QZDNL18P, QZDNL31P, QZDNL60P or IDSTAMM (any letter case)\n"
    "See varnoklis-show(1).\n";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome show(const std::vector<std::string>& args, Encoding encoding = Encoding::Cp1252) {
  std::ostringstream out;
  std::ostringstream err;
  int status = run_show(args, out, err, encoding);
  return {status, out.str(), err.str()};
}

// Every bad input: the message, status 2, and nothing on standard output, also when the first
// of two files was fine.
TEST(ShowCommand, BadInputIsRefusedWithStatus2) {
  testing::TempDir dir;
  const std::string folder = dir.path().string();
  const std::string idstamm = kData + "T01-IDSTAMM.dnl";
  const std::string qzdnl17p = kData + "T01-QZDNL17P.dnl";
  const std::string good =
      "\"1\",\"\",\"\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"\",\"1\"";
  const std::string twelve = "\"1\",\"\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"\",\"1\"";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"twelve", good + "\r\n" + twelve + "\r\n"},
      {"stray-quote", "\"1\"x" + good.substr(3) + "\r\n"},
      {"empty-line", good + "\r\n\r\n"},
  };
  for (const auto& [name, content] : files) testing::write_file(dir.path() / name, content);
  const std::string line = ": line 1 does not split into 13 quoted values\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{}, "varnoklis-show: KEYWORD and FILE needed\n" + kUsage},
      {{"QZDNL17P", qzdnl17p, "x"}, "varnoklis-show: KEYWORD and FILE needed\n" + kUsage},
      {{"--diff", "QZDNL17P", qzdnl17p},
       "varnoklis-show: --diff needs KEYWORD, OLD and NEW\n" + kUsage},
      {{"QZDNL17P", qzdnl17p, "--badge"},
       "varnoklis-show: --badge needs a badge number\n" + kUsage},
      {{"--all", "QZDNL17P", qzdnl17p}, "varnoklis-show: unknown option --all\n" + kUsage},
      {{"QZDNL99P", qzdnl17p}, "varnoklis-show: unknown download function QZDNL99P\n" + kUsage},
      {{"QZDNL17P", folder + "/none"}, "varnoklis-show: " + folder + "/none: no such file\n"},
      {{"QZDNL17P", folder}, "varnoklis-show: " + folder + ": not a regular file\n"},
      {{"QZDNL31P", qzdnl17p},
       "varnoklis-show: " + qzdnl17p +
           ": 1530 bytes are not whole records of 48 bytes (QZDNL31P)\n"},
      {{"IDSTAMM", qzdnl17p}, "varnoklis-show: " + qzdnl17p + line},
      {{"--diff", "IDSTAMM", idstamm, folder + "/twelve"},
       "varnoklis-show: " + folder + "/twelve: line 2 does not split into 13 quoted values\n"},
      {{"IDSTAMM", folder + "/stray-quote"}, "varnoklis-show: " + folder + "/stray-quote" + line},
      {{"IDSTAMM", folder + "/empty-line"},
       "varnoklis-show: " + folder + "/empty-line: line 2 does not split into 13 quoted values\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    Outcome outcome = show(c.args);
    EXPECT_EQ(outcome.status, kShowTrouble);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(outcome.out, "");
  }
}

TEST(ShowCommand, BadgeSelectionAndDiffStatus) {
  const std::string previous = kData + "T01-QZDNL17P.dnl";
  const std::string next = kData + "T01-QZDNL17P.next.dnl";
  Outcome one = show({"--badge", "1013", "qzdnl31p", kData + "T01-QZDNL31P.dnl"});
  EXPECT_EQ(one.status, kShowSame);
  EXPECT_EQ(one.out,
            "badge  valid from  valid to  time  access  fixed     code  class  location\n"
            "1013   20251208    00000000  1     1       XXXX,XX-  001   30     NOR\n"
            "1013   20251208    00000000  1     1       XXXX,XX-  001   30     NOR\n");
  Outcome changed = show({"--diff", "QZDNL17P", previous, next, "--badge", "2004"});
  EXPECT_EQ(changed.status, kShowDifferent);
  EXPECT_EQ(changed.out, "badge 2004: added\n");
  Outcome nights = show({"--diff", "QZDNL17P", previous, next});
  EXPECT_EQ(nights.status, kShowDifferent);
  EXPECT_TRUE(nights.out.ends_with(
      "badge 2004: added\n"
      "Gegenueber bisheriger Datei: 1 neu, 1 entfallen, 1 geaendert (von 17)\n"))
      << nights.out;
  Outcome same = show({"--diff", "QZDNL17P", previous, next, "--badge", "1001"});
  EXPECT_EQ(same.status, kShowSame);
  EXPECT_EQ(same.out + same.err, "");
  Outcome missing = show({"QZDNL17P", previous, "--badge", "2004"});
  EXPECT_EQ(missing.out + missing.err + std::to_string(missing.status),
            "varnoklis-show: badge 2004 is not in " + previous + "\n1");
  EXPECT_EQ(show({"--help"}).out, kUsage);
}

// The program itself: UTF-8 when the locale asks for it, else the file's own code page 1252.
TEST(ShowCommand, OutputEncodingFollowsTheLocale) {
  testing::TempDir dir;
  const std::string file = (dir.path() / "t.dnl").string();
  testing::write_file(file, "1            202601010000000011XXXX,XX-00110 M\xdcN");
  const std::string command =
      "varnoklis-show QZDNL31P " + testing::shell_quote(file) + " | tail -1";
  auto cp1252 = testing::run_command("LC_ALL=C " VARNOKLIS_BINARY_DIR "/" + command);
  auto utf8 = testing::run_command("LC_ALL=C.UTF-8 " VARNOKLIS_BINARY_DIR "/" + command);
  const std::string row = "1      20260101    00000000  1     1       XXXX,XX-  001   10     M";
  EXPECT_EQ(cp1252.output, row + "\xdcN\n");
  EXPECT_EQ(utf8.output, row + "\xc3\x9cN\n");
}

// A FIFO is refused without waiting for a writer, output that cannot be written is trouble, and
// the 8-bit control bytes of code page 1252 reach a terminal only escaped.
TEST(ShowCommand, FifoFullOutputAndControlBytesForATerminal) {
  testing::TempDir dir;
  const std::string file = (dir.path() / "t.dnl").string(), none = (dir.path() / "e").string();
  testing::write_file(file, "1            202601010000000011XXXX,XX-00110 \x9b\x32J");
  testing::write_file(none, "");
  const std::string show =
      "cd " + dir.path().string() + " && timeout 9 " VARNOKLIS_BINARY_DIR "/varnoklis-show ";
  auto fifo =
      testing::run_command("mkfifo " + dir.path().string() + "/f && " + show + "QZDNL31P f 2>&1");
  EXPECT_EQ(fifo.output, "varnoklis-show: f: not a regular file\n");
  for (const char* args : {"QZDNL31P t.dnl", "--diff QZDNL31P e t.dnl"}) {
    auto full = testing::run_command(show + args + " 2>&1 >/dev/full");
    EXPECT_EQ(full.status, kShowTrouble);
    EXPECT_EQ(full.output, "varnoklis-show: cannot write: No space left on device\n");
  }
  EXPECT_EQ(render("\x9b\x32J\x80\xa0", Encoding::Cp1252Terminal).text, "\\x9B2J\\x80\xa0");
  EXPECT_EQ(render("\x9b\x32J", Encoding::Cp1252).text, "\x9b\x32J");
}

}  // namespace
}  // namespace varnoklis::show
