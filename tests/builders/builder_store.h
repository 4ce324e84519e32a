#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/temp_store.h"

namespace varnoklis::testing {

/// Two clients on terminal T01 (readers 1, 2 and 5; only reader 5 authorizes class 12; class 0
/// has a type-3 authorization at reader 1) and its eight-line balance set S1 in language 1.
///
/// MANDANT1 badges, in badge order: A1 (P1, class 12, full figures, at location Haupttor),
/// A12345678901234 (too long), A2 (P2, class 3, open start, no figures, location unknown),
/// A4 (P4, class 0 unresolved), A5 (no person, class 12), A6 (P1, class 3, two locations).
/// MANDANT2: A1 (Q1, class 12, a first balance of more than 1000 hours, no vacation rows).
void seed_two_clients(const TempStore& store);

/// Lines of `text` with the line feeds removed.
std::vector<std::string> lines_of(const std::string& text);

/// The staged records of download path `path`, in record order.
std::vector<std::string> staged(const TempStore& store, std::string_view path);

/// `text` left-aligned in `width` characters.
std::string pad(std::string_view text, std::size_t width);

}  // namespace varnoklis::testing
