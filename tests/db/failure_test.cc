#include "db/failure.h"

#include <gtest/gtest.h>

#include "db/result_code.h"
#include "db/statement.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

TEST(Failure, OnlyDeadlocksTimeoutsAndABusyStoreAreTriedAgainAndTheReportsAreWholeLines) {
  struct Case {
    const char* state;
    std::int32_t native;
    Dialect dialect;
    bool transient;
  };
  for (const Case& c :
       {Case{"40001", 1205, Dialect::SqlServer, true}, Case{"HYT00", 0, Dialect::SqlServer, true},
        Case{"HY000", 5, Dialect::Sqlite, true}, Case{"HY000", 5, Dialect::SqlServer, false},
        Case{"HY000", 1, Dialect::Sqlite, false}, Case{"08S01", 10054, Dialect::SqlServer, false},
        Case{"42S02", 208, Dialect::SqlServer, false}}) {
    EXPECT_EQ(transient(Diagnostics{c.state, "", c.native}, c.dialect), c.transient) << c.state;
    EXPECT_EQ(transient(Diagnostics{c.state, "", c.native}, c.dialect, true),
              c.transient && std::string_view(c.state) != "HYT00")
        << c.state;
  }
  EXPECT_EQ(kStatementAttempts, 3);
  EXPECT_EQ(retry_pause(2), std::chrono::milliseconds(50));
  EXPECT_EQ(retry_pause(3), std::chrono::milliseconds(200));

  Diagnostics deadlock{"40001", "victim", 1205};
  EXPECT_EQ(failure_line("Leser lesen", "00001234", deadlock),
            "DB-Fehler Leser lesen! Ausweis: 00001234 ErrNr: 1205 SQLSTATE: 40001\n");
  EXPECT_EQ(failure_line("Mandanten lesen", "", deadlock),
            "DB-Fehler Mandanten lesen! ErrNr: 1205 SQLSTATE: 40001\n");
  EXPECT_EQ(retry_line("Person lesen", "A1", deadlock, 2),
            "DB-Fehler Person lesen! Ausweis: A1 ErrNr: 1205 SQLSTATE: 40001 - Versuch 2 von 3\n");
}

// A failed execution and a failed fetch are told apart from "no row" and counted by the session;
// a transient failure that clears on its retry is not.
TEST(Failure, NoRowIsNoFailureButAFailedExecutionOrFetchIsCountedOnce) {
  testing::TempStore store;
  Session session;
  store.connect(session);
  int failing = 0;
  FaultPoint failing_point = FaultPoint::Execute;
  session.seam().set_fault_hook([&](FaultPoint point, std::uint64_t, Diagnostics& diag) {
    if (failing == 0 || point != failing_point) return false;
    --failing;
    diag = Diagnostics{"40001", "victim", 1205};
    return true;
  });
  const std::string none = "SELECT StoKtx FROM KvxCore.Kvx113Sto WHERE StoNum = 'none'";
  ::testing::internal::CaptureStdout();
  Statement empty(session, {"Standort lesen"});
  EXPECT_EQ(empty.query_one(none, {text_column(3)}, ExecError::MinusOne), kNoData);
  EXPECT_EQ(session.counts().failures, 0u);

  failing = 2;
  Statement retried(session, {"Standort lesen"});
  EXPECT_EQ(retried.query_one(none, {text_column(3)}, ExecError::NativeNumber), kNoData);
  EXPECT_EQ(session.counts().failures, 0u);

  failing = 3;
  Statement failed(session, {"Standort lesen"});
  EXPECT_EQ(failed.query_one(none, {text_column(3)}, ExecError::NativeNumber), 1205);
  EXPECT_EQ(session.counts().failures, 1u);

  failing = 1;
  failing_point = FaultPoint::Fetch;
  Statement fetch_failed(session, {"Standort lesen"});
  EXPECT_EQ(fetch_failed.query_one(none, {text_column(3)}, ExecError::MinusOne), -1);
  EXPECT_EQ(session.counts().failures, 2u);
  const std::string line = "DB-Fehler Standort lesen! ErrNr: 1205 SQLSTATE: 40001";
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            line + " - Versuch 2 von 3\n" + line + " - Versuch 3 von 3\n" + line +
                " - Versuch 2 von 3\n" + line + " - Versuch 3 von 3\n" + line + "\n" + line + "\n");
}

}  // namespace
}  // namespace varnoklis
