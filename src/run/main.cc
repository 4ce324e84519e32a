#include <cstdio>
#include <string_view>

#include "base/version.h"
#include "run/run.h"

namespace {

// In English and without the configuration's details: the German usage text stays the answer to
// a wrong parameter count, as operators and their scripts know it.
constexpr const char* kHelp =
    "usage: varnoklis KEYWORD TERMINAL PATH MODE\n"
    "Builds the download file PATH of TERMINAL for KEYWORD (QZDNL17P, QZDNL18P, QZDNL31P,\n"
    "QZDNL60P or IDSTAMM); MODE 1 writes a new file, any other MODE appends.\n"
    "Reads its credentials from ../../files/kelvaniro.ini, or the file VARNOKLIS_CONFIG names.\n"
    "Exit status 0: the file holds every record; 1 to 5: see varnoklis(1).\n";

}  // namespace

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis")) return varnoklis::kExitOk;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kHelp, stdout);
    return varnoklis::kExitOk;
  }
  return varnoklis::run(argc, argv);
}
