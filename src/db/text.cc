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

}  // namespace varnoklis
