// Replays the committed fuzzing corpus through the same property checks the fuzz targets run,
// so a fault once found by fuzzing stays found in the normal test run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/harness.cc"  // NOLINT: the property checks are built into this test, not the library

namespace varnoklis::fuzz {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void throw_failure(const char* target, const char* property) {
  throw std::runtime_error(std::string(target) + ": " + property);
}

using Harness = void (*)(const uint8_t*, size_t);

// Feeds every file of the target's corpus folder to `harness`; each violated property fails the
// test with the file's name.
void replay(const std::string& target, std::initializer_list<Harness> harnesses) {
  const fs::path folder = fs::path(VARNOKLIS_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / target;
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 5u) << "corpus " << folder << " holds too few seeds";
  set_failure_handler(throw_failure);
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (Harness harness : harnesses) {
      try {
        harness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      } catch (const std::exception& failure) {
        ADD_FAILURE() << file.filename() << ": " << failure.what();
      }
    }
  }
  set_failure_handler(nullptr);
}

TEST(FuzzCorpus, ConfigReader) {
  replay("config_reader", {fuzz_config_reader});
}

TEST(FuzzCorpus, CipherHex) {
  replay("cipher_hex", {fuzz_cipher_hex});
}

TEST(FuzzCorpus, DownloadReader) {
  replay("download_reader", {fuzz_download_reader});
}

TEST(FuzzCorpus, NumberTextAndStatementFill) {
  replay("number_text", {fuzz_number_text, fuzz_sql_fill});
}

}  // namespace
}  // namespace varnoklis::fuzz
