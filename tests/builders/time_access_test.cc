#include "builders/time_access.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/builder.h"
#include "builders/builder_store.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::seed_two_clients;
using testing::staged;
using testing::TempStore;

// A four-character class is rejected only where the record would carry it: in the reader groups
// of a badge with access. QZDNL18P has no class field at all.
TEST(TimeAccess, AWideClassIsRejectedOnlyWhereItIsWritten) {
  TempStore store;
  seed_two_clients(store);
  store.sql("KVXCORE",
            "DELETE FROM Kvx301Asw WHERE AswNum <> 'A1' OR AswMnd <> 1;"
            "UPDATE Kvx301Asw SET AswBkl = '1234';");
  const std::string rejected =
      "Ausweis A1 passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 Zeichen)\n";
  for (bool authorized : {false, true}) {
    // Reader 1's zone authorizes the class: the access flag is set and the groups are filled.
    if (authorized) {
      store.sql("KVXCORE",
                "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('1234', 'Z1', 1);");
    }
    // A new run for the changed store: a run takes its master data as unchanging.
    Session session;
    store.connect(session);
    ASSERT_EQ(session.switch_schema("MANDANT1"), 0);
    for (std::string keyword : {"QZDNL17P", "QZDNL60P", "QZDNL18P"}) {
      SCOPED_TRACE(keyword + (authorized ? " authorized" : " not authorized"));
      store.sql("KVXCORE", "DELETE FROM Kvx999Tmp;");
      ::testing::internal::CaptureStdout();
      find_builder(keyword)->build(session, "p", "T01", "MANDANT1");
      std::string output = ::testing::internal::GetCapturedStdout();
      std::vector<std::string> records = staged(store, "p");
      bool has_groups = keyword != "QZDNL18P";
      bool carries_class = authorized && has_groups;
      EXPECT_EQ(output.find(rejected) != std::string::npos, carries_class) << output;
      ASSERT_EQ(records.size(), carries_class ? 0U : 1U);
      if (has_groups && !authorized) {
        EXPECT_EQ(records[0].substr(21, 2), "10");
      }
      if (!records.empty()) {
        EXPECT_EQ(records[0].find("1234"), std::string::npos) << records[0];
      }
    }
  }
}

}  // namespace
}  // namespace varnoklis
