#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "builders/builder.h"
#include "db/session.h"
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

/// The store of seed_two_clients with a session on it, MANDANT1 current, for the tests of one
/// record's builder; `seed` adds a test suite's own rows before the session connects.
class BuilderStore : public ::testing::Test {
 protected:
  /// A store for the builder `function`.
  explicit BuilderStore(BuildFunction function) : function_(function) {}
  void SetUp() override;
  /// Rows of a test suite of its own, put into the store before the session connects.
  virtual void seed() {}
  /// Connects `session` to the store with MANDANT1 as its current client.
  void connect(Session& session);
  /// Builds MANDANT1's records for `terminal` through `session` (the fixture's unless given)
  /// into download path "p", emptied first; returns what the builder printed.
  std::string build(const std::string& terminal, Session* session = nullptr);

  TempStore store_;
  Session session_;
  BuildCounts counts_;

 private:
  BuildFunction function_;
};

}  // namespace varnoklis::testing
