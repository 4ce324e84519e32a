#include "config/config_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "config/cipher.h"

namespace varnoklis::config {
namespace {

namespace fs = std::filesystem;

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("varnoklis-config-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& bytes) {
    std::string path = (dir_ / "kelvaniro.ini").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  ConfigValue lookup(const std::string& bytes, std::string_view key, std::string_view group = "",
                     int32_t number = 0) {
    return read_config_value(write(bytes), group, key, number);
  }

  fs::path dir_;
};

void expect_value(const ConfigValue& result, ConfigStatus status, const std::string& value) {
  EXPECT_EQ(result.status, status);
  EXPECT_EQ(result.value, value);
}

// Four entries as the program reads them: heading "#;KEY;", entry "N;KEY;HEX".
std::string credentials(const std::string& eol, bool final_eol) {
  std::string text = "#;LOGIN;" + eol + "1;LOGIN;" + encipher("sa") + eol +  //
                     "#;PASS;" + eol + "2;PASS;" + encipher("geheim;1") + eol + "#;DATABASE;" +
                     eol + "3;DATABASE;" + encipher("KVX") + eol + "#;SCHEMA;" + eol + "4;SCHEMA;" +
                     encipher("dbo");
  return final_eol ? text + eol : text;
}

TEST_F(ConfigFile, ReadsEachKeyWithAnyLineEnd) {
  for (std::string eol : {"\n", "\r\n"}) {
    for (bool final_eol : {true, false}) {
      SCOPED_TRACE((eol == "\n" ? "LF" : "CR LF") + std::string(final_eol ? "" : ", no final"));
      std::string file = credentials(eol, final_eol);
      expect_value(lookup(file, "LOGIN"), ConfigStatus::Found, "sa");
      expect_value(lookup(file, "PASS"), ConfigStatus::Found, "geheim;1");
      expect_value(lookup(file, "DATABASE"), ConfigStatus::Found, "KVX");
      expect_value(lookup(file, "SCHEMA"), ConfigStatus::Found, "dbo");
      expect_value(lookup(file, "USER"), ConfigStatus::NotFound, "");
    }
  }
}

TEST_F(ConfigFile, MatchesByGroupKeyOrNumber) {
  std::string file =
      "[A];GRP;\n7;login;" + encipher("one") + "\n#;X;\n8;LOGIN;" + encipher("two") + "\n";
  expect_value(lookup(file, "LOGIN"), ConfigStatus::Found, "two");  // case matters
  expect_value(lookup(file, "-", "GRP", -1), ConfigStatus::Found, "one");
  expect_value(lookup(file, "-", "-", 8), ConfigStatus::Found, "two");

  // Fewer than two ';' in the heading give an empty group, and number 0 matches number 0:
  // either entry answers the program's request whatever its key.
  expect_value(lookup("[A]\n1;OTHER;" + encipher("a") + "\n", "LOGIN"), ConfigStatus::Found, "a");
  expect_value(lookup("#;A;\n0;OTHER;" + encipher("b") + "\n", "LOGIN"), ConfigStatus::Found, "b");
  // Two adjacent ';' make the field run to the end of the line.
  expect_value(lookup("#;;rest\n1;X;" + encipher("c") + "\n", "-", ";rest\n", -1),
               ConfigStatus::Found, "c");
}

TEST_F(ConfigFile, ValueKeepsSemicolonsAndEmptyValueIsEmpty) {
  std::string hex = "ABCDEF0123456789;0123456789ABCDE";
  std::string expected;
  ASSERT_TRUE(decipher(hex, expected));
  expect_value(lookup("#;A;\n1;LOGIN;" + hex + "\n", "LOGIN"), ConfigStatus::Found, expected);

  expect_value(lookup("#;A;\r\n1;LOGIN;\r\n", "LOGIN"), ConfigStatus::Found, "");
  expect_value(lookup("#;A;\n1;LOGIN;ABC\n", "LOGIN"), ConfigStatus::BadValue, "");
}

TEST_F(ConfigFile, LineWithoutSemicolonHasNoNumber) {
  std::string later = "#;B;\n2;LOGIN;" + encipher("x") + "\n";
  expect_value(lookup("#;A;\n" + encipher("junk") + "\n" + later, "LOGIN"), ConfigStatus::Found,
               "x");
  // With an empty group it still matches, and its whole line (line feed included) is the value.
  expect_value(lookup("#\n" + encipher("junk") + "\n" + later, "LOGIN"), ConfigStatus::BadValue,
               "");
}

TEST_F(ConfigFile, Byte26EndsTheFile) {
  std::string login = "#;A;\n1;LOGIN;" + encipher("sa");
  expect_value(lookup(login + "\x1a" + "0123\n", "LOGIN"), ConfigStatus::Found, "sa");
  expect_value(lookup("\x1a" + login + "\n", "LOGIN"), ConfigStatus::NotFound, "");
}

TEST_F(ConfigFile, OddLastLineEndsTheLookup) {
  std::string file = "#;A;\n1;PASS;" + encipher("p") + "\n1;LOGIN;" + encipher("sa") + "\n";
  expect_value(lookup(file, "LOGIN"), ConfigStatus::NotFound, "");
}

TEST_F(ConfigFile, LongLineIsSplitAndShiftsThePairing) {
  std::string rest = "\n1;LOGIN;" + encipher("sa") + "\n9;X;\n2;PASS;" + encipher("pw") + "\n";
  expect_value(lookup("#;G;" + std::string(190, 'x') + rest, "PASS"), ConfigStatus::Found, "pw");
  // 199 characters read as the heading; the rest of the line becomes the entry line.
  std::string long_file = "#;G;" + std::string(250, 'x') + rest;
  expect_value(lookup(long_file, "PASS"), ConfigStatus::NotFound, "");
  expect_value(lookup(long_file, "-", "LOGIN", -1), ConfigStatus::Found, "");
}

TEST_F(ConfigFile, OverLongFieldsAreRefusedNotCut) {
  std::string heading = "#;A;\n";
  expect_value(lookup(heading + "1;LOGIN;" + encipher(std::string(96, 'v')) + "\n", "LOGIN"),
               ConfigStatus::Found, std::string(96, 'v'));
  expect_value(lookup(heading + "1;LOGIN;" + encipher(std::string(97, 'v')) + "\n", "LOGIN"),
               ConfigStatus::FieldTooLong, "");
  expect_value(lookup(heading + "00000000001;LOGIN;" + encipher("n") + "\n", "LOGIN"),
               ConfigStatus::Found, "n");
  expect_value(lookup(heading + "000000000001;LOGIN;" + encipher("n") + "\n", "LOGIN"),
               ConfigStatus::FieldTooLong, "");
  // An over-long entry above the one asked for stops the scan as well.
  std::string long_key = heading + "1;" + std::string(201, 'K') + ";\n";
  expect_value(lookup(long_key + heading + "2;LOGIN;" + encipher("sa") + "\n", "LOGIN"),
               ConfigStatus::FieldTooLong, "");
}

TEST_F(ConfigFile, UnreadableFileGivesNoFile) {
  for (const char* key : {"LOGIN", "PASS", "DATABASE", "SCHEMA"}) {
    expect_value(read_config_value((dir_ / "missing.ini").string(), "", key, 0),
                 ConfigStatus::NoFile, "");
  }
  expect_value(read_config_value(dir_.string(), "", "LOGIN", 0), ConfigStatus::NoFile, "");
}

TEST(ConfigHelpers, CutPositionsAndNumbers) {
  EXPECT_EQ(nth_position("a;b;c;d", ';', 2), 3);
  EXPECT_EQ(nth_position("a;b;c;d", ';', 5), 5);
  EXPECT_EQ(nth_position("abc", ';', 1), -1);
  EXPECT_EQ(nth_position("", ';', 1), -1);

  EXPECT_EQ(cut("abcdef", 2, 3), "cde");
  EXPECT_EQ(cut("abcdef", 2, 0), "cdef");
  EXPECT_EQ(cut("abcdef", 2, 10), "cdef");
  EXPECT_EQ(cut("abcdef", 2, -1), "");
  EXPECT_EQ(cut("abcdef", 6, 0), "");

  EXPECT_EQ(parse_number(" \t-12x"), -12);
  EXPECT_EQ(parse_number("+7"), 7);
  EXPECT_EQ(parse_number("x7"), 0);
  EXPECT_EQ(parse_number(""), 0);
  EXPECT_EQ(parse_number("99999999999"), 2147483647);
  EXPECT_EQ(parse_number("-99999999999"), -2147483647 - 1);

  EXPECT_EQ(decode_text_file(std::string("a\r\nb\rc\r\n\x1a"
                                         "d\n")),
            "a\nb\rc\n");
}

}  // namespace
}  // namespace varnoklis::config

namespace varnoklis::config {
namespace {

TEST(ConfigFileText, AnEmptyNumberFieldReadsAsZeroAndAnswersTheProgramsRequests) {
  const std::string text =
      "#;OTHER;\n;OTHER;" + encipher("first") + "\n#;LOGIN;\n1;LOGIN;" + encipher("sa") + "\n";
  ConfigValue found = lookup_config_text(text, "", "LOGIN", 0);
  EXPECT_EQ(found.status, ConfigStatus::Found);
  EXPECT_EQ(found.value, "first");
  found = lookup_config_text(text, "", "LOGIN", 5);
  EXPECT_EQ(found.status, ConfigStatus::Found);
  EXPECT_EQ(found.value, "sa");
}

}  // namespace
}  // namespace varnoklis::config
