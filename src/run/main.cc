#include <cstdio>
#include <string>
#include <string_view>

#include "base/version.h"
#include "records/layouts.h"
#include "run/run.h"

namespace {

constexpr std::size_t kHelpWidth = 90;

// `text` broken at its blanks into lines of at most kHelpWidth characters, each with a line end.
std::string wrapped(std::string_view text) {
  std::string lines;
  while (text.size() > kHelpWidth) {
    std::size_t cut = text.rfind(' ', kHelpWidth);
    if (cut == std::string_view::npos) break;
    lines.append(text.substr(0, cut)).append("\n");
    text.remove_prefix(cut + 1);
  }
  return lines.append(text).append("\n");
}

// In English and without the configuration's details: the German usage text stays the answer to
// a wrong parameter count, as operators and their scripts know it.
std::string help_text() {
  return "usage: varnoklis KEYWORD TERMINAL PATH MODE\n" +
         wrapped("Builds the download file PATH of TERMINAL for KEYWORD (" +
                 varnoklis::records::keyword_list() +
                 "); MODE 1 writes a new file, any other MODE appends.") +
         "Reads its credentials from ../../files/kelvaniro.ini, or the file VARNOKLIS_CONFIG "
         "names.\n"
         "Exit status 0: the file holds every record; 1 to 5: see varnoklis(1).\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis")) return varnoklis::kExitOk;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(help_text().c_str(), stdout);
    return varnoklis::kExitOk;
  }
  return varnoklis::run_download(argc, argv);
}
