#include "db/answer_memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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
      std::uint64_t sent_before = on.counts().statements;
      Fetched again = ask(on, text, single);
      EXPECT_EQ(on.counts().statements, sent_before) << "answered from memory";
      EXPECT_EQ(on.counts().remembered, 1u);
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
  std::uint64_t before = session.counts().statements;
  ::testing::internal::CaptureStdout();
  const std::string broken = "SELECT StoKtx, 1, 1.0 FROM KvxCore.NoSuchTable";
  EXPECT_EQ(ask(session, broken, true).rc, -1);
  EXPECT_EQ(ask(session, broken, true).rc, -1);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(session.counts().statements - before, 2u);
  EXPECT_EQ(session.counts().remembered, 0u);
  EXPECT_EQ(session.counts().failures, 2u);
}

// A second asker of a text waits for the first one's answer, and asks itself when the first
// gives up; an asker that holds another claim never waits. A full memory takes nothing more.
TEST(SharedMemory, WaitersTakeTheAnswerOrAskAgain) {
  AnswerMemory memory;
  Answer answer;
  answer.rows.push_back({SQL_SUCCESS, {4}, "1234"});
  for (bool answered : {true, false}) {
    bool claimed = false, waiter_claimed = false;
    std::atomic<bool> returned = false;
    std::string text = answered ? "Q1" : "Q2";
    EXPECT_EQ(memory.find(text, 0, true, claimed), nullptr);
    EXPECT_TRUE(claimed);
    EXPECT_EQ(memory.find(text, 0, false, claimed), nullptr);
    EXPECT_FALSE(claimed);
    AnswerMemory::Shared got;
    std::thread waiter([&] {
      got = memory.find(text, 0, true, waiter_claimed);
      returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    answered ? static_cast<void>(memory.keep(std::string(text), Answer(answer)))
             : memory.release(text);
    waiter.join();
    EXPECT_EQ(got != nullptr, answered);
    EXPECT_EQ(waiter_claimed, !answered);
  }
  AnswerMemory small(heap_bytes("Q1", answer));
  EXPECT_TRUE(small.keep("Q1", Answer(answer)));
  EXPECT_FALSE(small.keep("Q3", Answer(answer)));
  EXPECT_NE(small.find("Q1", 0), nullptr);
  EXPECT_EQ(small.find("Q3", 0), nullptr);
  EXPECT_TRUE(small.full());
  EXPECT_EQ(small.bytes(), heap_bytes("Q1", answer));
}

}  // namespace
}  // namespace varnoklis
