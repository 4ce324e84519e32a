#include "db/answer_source.h"

#include <algorithm>
#include <utility>

#include "db/session.h"

namespace varnoklis {

AnswerSource::~AnswerSource() {
  if (claimed_) end_claim(false);
}

// The day is taken before the statement is sent: an answer read across midnight is kept under
// the earlier day and asked again on the new one. A source already asking another text for the
// memory never waits for a third asker.
bool AnswerSource::ask(const SqlText& sql, Values values) {
  key_ = answer_key(sql, session_.dialect(), values);
  text_ = fill(sql, session_.dialect(), values);
  int day = answer_day(text_);
  AnswerMemory* fallback = fallback_memory();
  replay_ = fallback != nullptr ? fallback->find(key_, day) : nullptr;
  if (replay_ == nullptr) {
    replay_ = session_.memory().find(key_, day, session_.claims() == 0, claimed_);
  }
  if (claimed_) session_.count_claim(1);
  if (replay_ != nullptr) {
    replay_row_ = 0;
    replay_at_ = 0;
    session_.count_remembered();
    return true;
  }
  answer_ = Answer{};
  answer_.day = day;
  return false;
}

bool AnswerSource::serves(std::span<const Column> columns) {
  std::span<const Column> layout = replay_->layout();
  if (std::equal(columns.begin(), columns.end(), layout.begin(), layout.end())) return true;
  replay_ = nullptr;
  return false;
}

SQLRETURN AnswerSource::replay(std::span<BoundColumn> columns, char* buffer) {
  if (replay_row_ == replay_->row_count) return SQL_NO_DATA;
  ++replay_row_;
  return read_row(replay_->rows(), replay_at_, columns, buffer);
}

void AnswerSource::start_recording() {
  recording_ = true;
}

void AnswerSource::record_layout(std::span<const Column> columns) {
  answer_.layout.assign(columns.begin(), columns.end());
}

void AnswerSource::record_row(SQLRETURN result, std::span<const BoundColumn> columns,
                              const char* buffer) {
  append_row(answer_, result, columns, buffer);
}

// Only a complete answer is remembered: every row up to "no data", none after a failure.
void AnswerSource::end_recording(bool complete) {
  recording_ = false;
  if (claimed_) {
    end_claim(complete);
  } else if (complete) {
    remember();
  }
}

void AnswerSource::abandon() {
  if (claimed_) end_claim(false);
}

void AnswerSource::end_claim(bool keep) {
  claimed_ = false;
  session_.count_claim(-1);
  if (keep) {
    remember();
  } else {
    session_.memory().release(key_);
  }
}

// A full shared memory leaves the answer to the run, as a single run would keep it.
void AnswerSource::remember() {
  AnswerMemory* fallback = fallback_memory();
  if (!session_.memory().keep(key_, answer_) && fallback != nullptr) fallback->keep(key_, answer_);
}

// A run keeps no answer it asks once per badge, so that its memory does not grow with the badges;
// such an answer is never looked for there either.
AnswerMemory* AnswerSource::fallback_memory() const {
  return per_badge_ ? nullptr : session_.run_memory();
}

}  // namespace varnoklis
