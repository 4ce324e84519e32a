#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/session.h"
#include "queries/badge_row.h"
#include "support/temp_store.h"

namespace varnoklis::testing {

/// Client MANDANT1 holding a test suite's rows, a session on it with MANDANT1 current, and a
/// badge row for the query under test.
class ClientStore : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.add_client("MANDANT1");
    store_.sql("MANDANT1", rows());
    connect(session_);
  }
  /// The statements that fill MANDANT1 before the session connects.
  virtual std::string rows() const = 0;
  /// Connects `session` to the store with MANDANT1 as its current client.
  void connect(Session& session) {
    store_.connect(session);
    ASSERT_EQ(session.switch_schema("MANDANT1"), 0);
  }

  TempStore store_;
  Session session_;
  BadgeRow row_;
};

}  // namespace varnoklis::testing
