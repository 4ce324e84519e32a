#include "db/answer_memory.h"

#include <gtest/gtest.h>

#include "db/statement.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

struct Fetched {
  std::vector<std::string> rows;
  SQLRETURN last = SQL_ERROR;
  int rc = 0;
};

// Runs a repeated question and writes down everything a helper could see of its answer.
Fetched ask(Session& session, const std::string& text, bool single) {
  Statement statement(session, {"Test", true});
  Fetched out;
  if (single) {
    out.rc = statement.query_one(text, {text_column(3), long_column(), double_column()},
                                 ExecError::MinusOne);
  } else if (statement.execute(text) != Outcome::Ok ||
             !statement.bind({text_column(3), long_column(), double_column()})) {
    out.rc = -1;
  }
  for (Outcome o = single ? Outcome::Ok : statement.fetch(); out.rc == 0 && o == Outcome::Ok;
       o = single ? Outcome::NoData : statement.fetch()) {
    std::string row;
    for (int c = 1; c <= 3; ++c) row += statement.is_null(c) ? "NULL|" : "set|";
    row += std::string(statement.text(1)) + "|" + std::to_string(statement.integer(2)) + "|" +
           std::to_string(statement.real(3)) + "|" + std::to_string(statement.last_fetch_result());
    out.rows.push_back(row);
  }
  out.last = statement.last_fetch_result();
  return out;
}

// A remembered answer reaches the helper as the fetched one did: NULLs, the cut of an over-long
// text with its "success with information", several rows, no row at all, also for a single-row
// query that left rows unread.
TEST(AnswerMemory, ARememberedAnswerIsTheFetchedOneRowForRow) {
  testing::TempStore store;
  store.sql("KVXCORE",
            "INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES ('1', 'Haupttor', 4),"
            "('2', NULL, NULL), ('3', 'ab', 8);");
  const std::string several =
      "SELECT StoKtx, StoSta, StoSta * 1.5 FROM KvxCore.Kvx113Sto ORDER BY StoNum";
  const std::string none = "SELECT StoKtx, StoSta, 0.0 FROM KvxCore.Kvx113Sto WHERE StoNum = 'x'";
  for (bool single : {false, true}) {
    for (const std::string& text : {several, none}) {
      Session off;
      store.connect(off);
      off.set_remembering(false);
      Fetched sent = ask(off, text, single);
      Session on;
      store.connect(on);
      Fetched first = ask(on, text, single);
      std::uint64_t sent_before = on.statements_sent();
      Fetched again = ask(on, text, single);
      EXPECT_EQ(on.statements_sent(), sent_before) << "answered from memory";
      EXPECT_EQ(on.remembered(), 1u);
      for (const Fetched* f : {&first, &again}) {
        EXPECT_EQ(f->rows, sent.rows);
        EXPECT_EQ(f->rc, sent.rc);
        EXPECT_EQ(f->last, sent.last);
      }
    }
  }
  Session session;
  store.connect(session);
  EXPECT_EQ(
      ask(session, several, false).rows,
      (std::vector<std::string>{"set|set|set|Hau|4|6.000000|1", "NULL|NULL|NULL||0|0.000000|0",
                                "set|set|set|ab|8|12.000000|0"}));
}

// A failure is never remembered: the same text is sent again and fails again.
TEST(AnswerMemory, AFailedAnswerIsAskedAgain) {
  testing::TempStore store;
  Session session;
  store.connect(session);
  std::uint64_t before = session.statements_sent();
  ::testing::internal::CaptureStdout();
  const std::string broken = "SELECT StoKtx, 1, 1.0 FROM KvxCore.NoSuchTable";
  EXPECT_EQ(ask(session, broken, true).rc, -1);
  EXPECT_EQ(ask(session, broken, true).rc, -1);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(session.statements_sent() - before, 2u);
  EXPECT_EQ(session.remembered(), 0u);
  EXPECT_EQ(session.failures(), 2u);
}

}  // namespace
}  // namespace varnoklis
