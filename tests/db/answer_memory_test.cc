#include "db/answer_memory.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
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
  const BoundColumn bound[] = {{text_column(4), 0}};
  append_row(answer, SQL_SUCCESS, bound, "1234");
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
    answered ? static_cast<void>(memory.keep(text, answer)) : memory.release(text);
    waiter.join();
    EXPECT_EQ(got != nullptr, answered);
    EXPECT_EQ(waiter_claimed, !answered);
  }
  AnswerMemory probe;
  probe.keep("Q1", answer);
  AnswerMemory small(probe.bytes());
  EXPECT_TRUE(small.keep("Q1", answer));
  EXPECT_FALSE(small.keep("Q3", answer));
  EXPECT_NE(small.find("Q1", 0), nullptr);
  EXPECT_EQ(small.find("Q3", 0), nullptr);
  EXPECT_TRUE(small.full());
  EXPECT_EQ(small.bytes(), probe.bytes());
}

// A row is stored as what a helper can read of it and comes back so: a cut text with its
// "success with information" and its cut bytes, NULLs, a row of empty texts, integers and
// doubles, each in the place its column is bound to.
TEST(AnswerMemory, RowsAreStoredCompactlyAndReadBackExactly) {
  const Column layout[] = {text_column(3), long_column(), double_column(), text_column(5)};
  std::array<BoundColumn, 4> bound{};
  for (std::size_t i = 0, offset = 0; i < 4; ++i, offset += 8) bound[i] = {layout[i], offset};
  struct Row {
    SQLRETURN result;
    const char* text;  // null: the row's columns are NULL
    std::int32_t number;
    double real;
  };
  const Row rows[] = {{SQL_SUCCESS_WITH_INFO, "Hau", -7, 2.5},
                      {SQL_SUCCESS, nullptr, 0, 0.0},
                      {SQL_SUCCESS, "", 0, 0.0},
                      {SQL_SUCCESS, "ab", 2147483647, -1e300}};
  Answer answer;
  for (const Row& row : rows) {
    alignas(8) char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    // A cut text arrives as the column's width and a terminator, its indicator the full length.
    if (row.text != nullptr) {
      std::memcpy(buffer, row.text, std::strlen(row.text) + 1);
      std::memcpy(buffer + 8, &row.number, sizeof row.number);
      std::memcpy(buffer + 16, &row.real, sizeof row.real);
      std::memcpy(buffer + 24, row.text, std::strlen(row.text) + 1);
    }
    for (BoundColumn& b : bound) b.indicator = row.text == nullptr ? SQL_NULL_DATA : 40;
    append_row(answer, row.result, bound, buffer);
  }
  EXPECT_EQ(answer.row_count, 4u);
  EXPECT_LT(answer.rows.size(), 4 * 32u) << "only the bytes a helper reads";
  std::size_t at = 0;
  for (const Row& row : rows) {
    alignas(8) char buffer[32];
    std::memset(buffer, 'y', sizeof buffer);
    EXPECT_EQ(read_row(answer.rows, at, bound, buffer), row.result);
    for (const BoundColumn& b : bound) EXPECT_EQ(b.indicator == SQL_NULL_DATA, row.text == nullptr);
    if (row.text == nullptr) continue;
    EXPECT_EQ(std::string_view(buffer, strnlen(buffer, 3)), row.text);
    EXPECT_EQ(std::string_view(buffer + 24, strnlen(buffer + 24, 5)), row.text);
    std::int32_t number = 0;
    double real = 0;
    std::memcpy(&number, buffer + 8, sizeof number);
    std::memcpy(&real, buffer + 16, sizeof real);
    EXPECT_EQ(number, row.number);
    EXPECT_EQ(real, row.real);
  }
  EXPECT_EQ(at, answer.rows.size());
}

// The bound counts what the memory really takes from the heap: its answers, keys and table.
TEST(AnswerMemory, TheBoundCountsRealAllocations) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's heap keeps no malloc statistics";
#else
  Answer answer;
  const BoundColumn bound[] = {{text_column(40), 0}};
  char text[48] = "Haupttor Nord";
  for (int i = 0; i < 3; ++i) append_row(answer, SQL_SUCCESS, bound, text);
  answer.layout = {text_column(40)};
  const SqlText sql{"SELECT x FROM t WHERE k = '%s'", {}};
  auto in_use = [] { return mallinfo2().uordblks; };
  constexpr int kAnswers = 2000;
  std::vector<std::string> keys;
  for (int i = 0; i < kAnswers; ++i) {
    std::string value = std::to_string(i);
    std::string_view values[] = {value};
    keys.push_back(answer_key(sql, Dialect::Sqlite, values));
  }
  auto memory = std::make_unique<AnswerMemory>();
  std::size_t before = in_use();
  for (const std::string& key : keys) ASSERT_TRUE(memory->keep(key, answer));
  std::size_t taken = in_use() - before;
  // malloc adds a few bytes of its own to each block.
  EXPECT_LE(memory->bytes(), taken);
  EXPECT_GE(memory->bytes() + 24 * 2 * kAnswers, taken);
  std::size_t all = memory->bytes();
  memory.reset();
  // malloc's per-thread cache keeps a few freed blocks counted as in use.
  EXPECT_LT(in_use(), before + taken / 20) << "what the memory took is given back";
  AnswerMemory small(all / 2);
  int kept = 0;
  for (const std::string& key : keys) kept += small.keep(key, answer) ? 1 : 0;
  EXPECT_TRUE(small.full());
  EXPECT_LE(small.bytes(), all / 2);
  EXPECT_GT(kept, kAnswers / 3);
#endif
}

}  // namespace
}  // namespace varnoklis
