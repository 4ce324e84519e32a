#include <string_view>

#include "run/run.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    varnoklis::print_usage_text();
    return varnoklis::kExitOk;
  }
  return varnoklis::run(argc, argv);
}
