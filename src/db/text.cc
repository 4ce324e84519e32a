#include "db/text.h"

namespace varnoklis {

namespace {
bool is_trailing_space(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}
}  // namespace

std::string_view right_trimmed(std::string_view text) {
  while (!text.empty() && is_trailing_space(text.back())) text.remove_suffix(1);
  return text;
}

void right_trim(std::string& text) {
  text.resize(right_trimmed(text).size());
}

void upper_case(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

// Only blanks: the fold names the lock files of the state folder, so a program that folded more
// would miss the locks an older one holds during an upgrade.
std::string folded_key(std::string text) {
  upper_case(text);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace varnoklis
