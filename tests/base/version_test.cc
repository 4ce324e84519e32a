#include "base/version.h"

#include <gtest/gtest.h>

#include <string>

#include "base/project_version.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

// All three programs name themselves and the one project version; `--version` with more
// arguments is no version request.
TEST(Version, EveryProgramPrintsTheProjectVersion) {
  for (const std::string program : {"varnoklis", "varnoklis-ini", "varnoklis-show"}) {
    auto result = testing::run_command(VARNOKLIS_BINARY_DIR "/" + program + " --version");
    EXPECT_EQ(result.status, 0) << program;
    EXPECT_EQ(result.output, program + " " + kProjectVersion + "\n");
  }
  const char* const argv[] = {"varnoklis", "--version", "T01"};
  EXPECT_FALSE(answer_version(3, argv, "varnoklis"));
  EXPECT_EQ(std::string(kProjectVersion).find_first_not_of("0123456789."), std::string::npos);
}

}  // namespace
}  // namespace varnoklis
