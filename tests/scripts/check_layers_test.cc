// scripts/check-layers passes on the project's own sources and fails on an include upward, on a
// cycle between files of one floor and on a folder the table does not name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_store.h"

namespace varnoklis {
namespace {

namespace fs = std::filesystem;

testing::RunResult check_layers(const std::string& folder) {
  return testing::run_command(std::string(VARNOKLIS_SOURCE_DIR) + "/scripts/check-layers " +
                              testing::shell_quote(folder) + " 2>&1");
}

TEST(CheckLayers, ThisTreePassesAndEveryBreachFails) {
  auto own = check_layers(std::string(VARNOKLIS_SOURCE_DIR) + "/src");
  EXPECT_EQ(own.status, 0) << own.output;

  using Files = std::vector<std::pair<std::string, std::string>>;
  const Files breaches[] = {
      {{"db/a.h", "#include \"run/b.h\"\n"}, {"run/b.h", ""}},
      {{"config/a.h", "#include \"db/b.h\"\n"}, {"db/b.h", "#include \"config/a.h\"\n"}},
      {{"run/a.cc", "#include \"base/b.h\"\n"}, {"base/b.h", ""}, {"extra/c.h", ""}}};
  for (const Files& files : breaches) {
    testing::TempDir dir;
    for (const auto& [name, text] : files) {
      fs::create_directories((dir.path() / name).parent_path());
      testing::write_file(dir.path() / name, text);
    }
    auto r = check_layers(dir.path().string());
    EXPECT_EQ(r.status, 1) << files[0].first;
    EXPECT_NE(r.output.find("check-layers: "), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace varnoklis
