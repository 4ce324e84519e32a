// varnoklis-show: prints a download file as a table, or what changed between two of them.
#include <iostream>
#include <string>
#include <vector>

#include "base/version.h"
#include "show/show.h"
#include "show/text.h"

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis-show")) return 0;
  std::vector<std::string> args(argc > 0 ? argv + 1 : argv, argv + argc);
  return varnoklis::show::run_show(args, std::cout, std::cerr,
                                   varnoklis::show::encoding_of_locale());
}
