// The answer of varnoklis-explain as one JSON object or as a report for a person.
#pragma once

#include <string>
#include <string_view>

#include "explain/explanation.h"
#include "records/layouts.h"

namespace varnoklis::explain {

/// `text` as a JSON string: its UTF-8 in quotes, with quotes, backslashes and control characters
/// (C0, DEL and C1) escaped.
std::string json_string(std::string_view utf8);

/// The answer as one JSON object in UTF-8, ending in a line feed. Texts from the database and
/// records are code page 1252; `lines_utf8` tells whether captured lines are UTF-8 already.
std::string to_json(const Explanation& explanation, const records::Layout& layout, bool lines_utf8);

/// The answer as a report for a person, in the message encoding.
std::string to_text(const Explanation& explanation, const records::Layout& layout);

}  // namespace varnoklis::explain
