// varnoklis-explain: answers why a badge can (not) pass a terminal's readers.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/version.h"
#include "explain/explain.h"

namespace {

constexpr const char* kHelp =
    "usage: varnoklis-explain KEYWORD TERMINAL BADGE [--file PATH] [--json]\n"
    "Explains what the download function KEYWORD builds for BADGE at TERMINAL: whether the badge\n"
    "cursor selects it (and if not, why not), and for each selected row the class stage, the\n"
    "reader-zone check, the questions asked, the record and the messages. Reads only; takes its\n"
    "credentials as varnoklis does. --file PATH compares the badge's records in a download file;\n"
    "--json prints one JSON object. Exit status 0 answered, 1 to 4: see varnoklis-explain(1).\n";

}  // namespace

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis-explain")) return 0;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kHelp, stdout);
    return varnoklis::explain::kExplained;
  }
  std::vector<std::string> args(argc > 0 ? argv + 1 : argv, argv + argc);
  return varnoklis::explain::run_explain(args);
}
