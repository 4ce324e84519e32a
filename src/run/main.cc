#include <string_view>

#include "base/version.h"
#include "run/run.h"

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis")) return 0;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    varnoklis::print_usage_text();
    return varnoklis::kExitOk;
  }
  return varnoklis::run(argc, argv);
}
