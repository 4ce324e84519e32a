// varnoklis-show: prints a download file as a table, or what changed between two of them.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "base/version.h"
#include "show/show.h"
#include "show/text.h"

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis-show")) return 0;
  std::vector<std::string> args(argc > 0 ? argv + 1 : argv, argv + argc);
  bool terminal = isatty(STDOUT_FILENO) == 1;
  int status = varnoklis::show::run_show(args, std::cout, std::cerr,
                                         varnoklis::show::encoding_of_locale(terminal));
  // Output that never arrived (a full disk) is trouble, as it is for diff, whatever was found.
  if (!std::cout.flush()) {
    std::cerr << "varnoklis-show: cannot write: " << std::strerror(errno) << "\n";
    return varnoklis::show::kShowTrouble;
  }
  return status;
}
