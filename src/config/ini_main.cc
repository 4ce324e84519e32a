// varnoklis-ini: lets an operator write and inspect the enciphered configuration file.
#include <iostream>
#include <string>
#include <vector>

#include "base/version.h"
#include "config/ini_writer.h"

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis-ini")) return 0;
  std::vector<std::string> args(argc > 0 ? argv + 1 : argv, argv + argc);
  return varnoklis::config::run_ini_tool(args, std::cout, std::cerr);
}
