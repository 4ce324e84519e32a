#include "show/show.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

#include "records/badge_diff.h"
#include "records/layouts.h"
#include "show/diff.h"
#include "show/layouts.h"
#include "show/reader.h"
#include "show/table.h"

namespace varnoklis::show {

namespace {

std::string usage_text() {
  return "usage: varnoklis-show KEYWORD FILE [--badge NUMBER]            print a download file as "
         "a table\n"
         "       varnoklis-show --diff KEYWORD OLD NEW [--badge NUMBER]  list what changed from "
         "OLD to NEW\n"
         "KEYWORD: " +
         records::keyword_list() +
         " (any letter case)\n"
         "See varnoklis-show(1).\n";
}

struct Request {
  bool diff = false;
  bool help = false;
  std::optional<std::string> badge;
  std::vector<std::string> operands;
};

int usage(std::ostream& err, const std::string& problem) {
  err << "varnoklis-show: " << problem << "\n" << usage_text();
  return kShowTrouble;
}

// Options may stand anywhere; every other argument is an operand.
bool parse(const std::vector<std::string>& args, Request& request, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--diff") {
      request.diff = true;
    } else if (arg == "--help") {
      request.help = true;
    } else if (arg == "--badge") {
      if (++i == args.size()) {
        problem = "--badge needs a badge number";
        return false;
      }
      request.badge = args[i];
    } else if (arg.starts_with("--")) {
      problem = "unknown option " + arg;
      return false;
    } else {
      request.operands.push_back(arg);
    }
  }
  const std::size_t wanted = request.diff ? 3 : 2;
  if (!request.help && request.operands.size() != wanted) {
    problem = request.diff ? "--diff needs KEYWORD, OLD and NEW" : "KEYWORD and FILE needed";
    return false;
  }
  return true;
}

bool read_file(const Layout& layout, const std::string& path, const Request& request,
               std::vector<Record>& records, std::ostream& err) {
  Contents contents = read_download(layout, path);
  if (!contents.ok) {
    err << "varnoklis-show: " << path << ": " << contents.problem << "\n";
    return false;
  }
  for (Record& record : contents.records) {
    if (!request.badge || badge_of(layout, record) == *request.badge) {
      records.push_back(std::move(record));
    }
  }
  return true;
}

// Both files were read whole just before; the counts come from the same comparison the run
// makes before it replaces a file.
std::string counts_line(const Layout& layout, const std::string& old_path,
                        const std::string& new_path) {
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  int old_fd = ::open(old_path.c_str(), flags);
  int new_fd = ::open(new_path.c_str(), flags);
  records::BadgeDiff diff = records::compare_badges(layout, old_fd, new_fd);
  if (old_fd >= 0) ::close(old_fd);
  if (new_fd >= 0) ::close(new_fd);
  return records::badge_diff_line(diff);
}

}  // namespace

int run_show(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             Encoding encoding) {
  Request request;
  std::string problem;
  if (!parse(args, request, problem)) return usage(err, problem);
  if (request.help) {
    out << usage_text();
    return kShowSame;
  }
  const Layout* layout = find_layout(request.operands[0]);
  if (layout == nullptr) return usage(err, "unknown download function " + request.operands[0]);
  std::vector<Record> first;
  if (!read_file(*layout, request.operands[1], request, first, err)) return kShowTrouble;
  if (!request.diff) {
    // An empty table would look like a file without that badge's records only to a careful
    // reader; a script gets a status.
    if (request.badge && first.empty()) {
      err << "varnoklis-show: badge " << *request.badge << " is not in " << request.operands[1]
          << "\n";
      return kShowDifferent;
    }
    out << format_table(*layout, first, encoding);
    return kShowSame;
  }
  std::vector<Record> second;
  if (!read_file(*layout, request.operands[2], request, second, err)) return kShowTrouble;
  Comparison comparison = compare_records(*layout, first, second, encoding);
  out << comparison.text;
  if (!request.badge) out << counts_line(*layout, request.operands[1], request.operands[2]);
  return comparison.differ ? kShowDifferent : kShowSame;
}

}  // namespace varnoklis::show
