#pragma once

#include <string>
#include <string_view>

namespace varnoklis {

/// Removes trailing blanks, tabs and line feeds in place; carriage returns stay.
void right_trim(std::string& text);

/// Returns the text without its trailing blanks, tabs and line feeds.
std::string_view right_trimmed(std::string_view text);

/// Changes the letters a to z into capitals in place; every other byte stays.
void upper_case(std::string& text);

/// `text` as the database compares keys: letters a to z in capitals, trailing blanks removed.
std::string folded_key(std::string text);

}  // namespace varnoklis
