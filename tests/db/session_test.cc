#include "db/session.h"

#include <gtest/gtest.h>

#include "db/result_code.h"
#include "db/statement.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::TempStore;

TEST(Session, ConnectsToEmbeddedStoreAndReadsNullsAsEmpty) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES ('12', NULL, NULL);");
  Session session;
  store.connect(session);
  Statement st(session, {"Test"});
  ASSERT_EQ(st.query_one("SELECT StoNum, StoKtx, StoSta FROM KvxCore.Kvx113Sto",
                         {text_column(8), text_column(3), long_column()}, ExecError::MinusOne),
            0);
  EXPECT_EQ(st.text(1), "12");
  EXPECT_EQ(st.text(2), "");
  EXPECT_TRUE(st.is_null(3));
  EXPECT_EQ(st.integer(3), 0);
}

}  // namespace
}  // namespace varnoklis

namespace varnoklis {
namespace {

TEST(Session, StatementsRunWhileACursorIsOpenAndClientFilesAreAttachedNeverCreated) {
  testing::TempStore store;
  store.add_client("MANDANT1");
  store.sql("KVXCORE",
            "INSERT INTO Kvx113Sto (StoNum, StoKtx) VALUES ('1', 'A'), ('2', 'B'), "
            "('3', 'C');");
  store.sql("MANDANT1", "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr) VALUES ('1', 7), ('3', 9);");
  Session session;
  store.connect(session);
  ASSERT_EQ(session.switch_schema("MANDANT1"), 0);
  EXPECT_EQ(session.schema(), "MANDANT1");

  Cursor cursor;
  ASSERT_EQ(
      cursor.open(session, {"Test"}, "SELECT StoNum, StoKtx FROM KvxCore.Kvx113Sto ORDER BY StoNum",
                  {text_column(8), text_column(3)}),
      0);
  std::string seen;
  while (cursor.fetch() == Outcome::Ok) {
    std::string number(cursor.row().text(1));
    Statement inner(session, {"Test"});
    int rc = inner.query_one(
        fill("SELECT PnrSpr FROM %s.Kvx300Pnr WHERE PnrNum = '%s'", {session.schema(), number}),
        {long_column()}, ExecError::MinusOne);
    seen += number + ":" + std::to_string(rc) + ":" + std::to_string(inner.integer(1)) + " ";
    Statement insert(session, {"Test"});
    ASSERT_EQ(insert.execute(fill("INSERT INTO KvxCore.Kvx999Tmp (TmpUsr, TmpStr) VALUES ('p', "
                                  "'%s')",
                                  {number})),
              Outcome::Ok);
  }
  cursor.close();
  EXPECT_EQ(seen, "1:0:7 2:100:0 3:0:9 ");
  EXPECT_EQ(store.query("KVXCORE", "SELECT group_concat(TmpStr) FROM Kvx999Tmp;"), "1,2,3\n");

  EXPECT_EQ(session.switch_schema("MANDANT2"), kSchemaFileMissing);
  EXPECT_EQ(session.switch_schema("../KVXCORE"), kSchemaFileMissing);
  EXPECT_FALSE(std::filesystem::exists(store.folder() / "MANDANT2.db"));
  Statement gone(session, {"Test"});
  EXPECT_EQ(gone.query_one("SELECT COUNT(*) FROM MANDANT1.Kvx300Pnr", {long_column()},
                           ExecError::MinusOne),
            -1);
  EXPECT_GT(session.counts().statements, 8u);
}

TEST(Session, ConnectFailureFillsDiagnosticsAndFetchWithoutCursorFails) {
  testing::TempStore store;
  Session session;
  EXPECT_EQ(session.connect("NO_SUCH_SOURCE", "u", "p"), -1);
  EXPECT_EQ(session.diagnostics().state, "IM002");
  Cursor cursor;
  EXPECT_EQ(cursor.fetch(), Outcome::Error);
  cursor.close();
  EXPECT_FALSE(cursor.is_open());
}

// A driver that repeats the password, even cut at the end of a full message, never shows it.
TEST(Session, ConnectFailureLineMasksThePassword) {
  const std::string full(999 - 4, 'x');  // the message buffer holds 999 characters
  struct Case {
    std::string message, password, line_text;
  } cases[] = {
      {"Login failed for user 'op'.", "", "Login failed for user 'op'."},
      {"pwd=geheim;uid=op;pwd=geheim\r\n", "geheim", "pwd=******;uid=op;pwd=******"},
      {"a\nb", "ab", "a b"},
      {full + "gehe", "geheim", full + "****"},
      {"ends in gehe", "geheim", "ends in gehe"},
  };
  for (const Case& c : cases) {
    Diagnostics diag{"28000", c.message, 18456};
    EXPECT_EQ(describe_connect_failure(diag, c.password),
              "SQLSTATE: 28000 ErrNr: 18456 Text: " + c.line_text);
  }
}

}  // namespace
}  // namespace varnoklis
