#include "db/answer_source.h"

#include <algorithm>
#include <cstring>
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
  text_ = fill(sql, session_.dialect(), values);
  int day = answer_day(text_);
  AnswerMemory* run_memory = session_.run_memory();
  replay_ = run_memory != nullptr ? run_memory->find(text_, day) : nullptr;
  if (replay_ == nullptr) {
    replay_ = session_.memory().find(text_, day, session_.claims() == 0, claimed_);
  }
  if (claimed_) session_.count_claim(1);
  if (replay_ != nullptr) {
    replay_row_ = 0;
    session_.count_remembered();
    return true;
  }
  answer_ = Answer{};
  answer_.day = day;
  return false;
}

bool AnswerSource::serves(std::span<const Column> columns) {
  if (std::equal(columns.begin(), columns.end(), replay_->layout.begin(), replay_->layout.end())) {
    return true;
  }
  replay_ = nullptr;
  return false;
}

SQLRETURN AnswerSource::replay(std::span<BoundColumn> columns, char* buffer) {
  const std::vector<RememberedRow>& rows = replay_->rows;
  if (replay_row_ == rows.size()) return SQL_NO_DATA;
  const RememberedRow& row = rows[replay_row_++];
  std::memcpy(buffer, row.bytes.data(), row.bytes.size());
  for (std::size_t i = 0; i < columns.size(); ++i) columns[i].indicator = row.indicators[i];
  return row.result;
}

void AnswerSource::start_recording() {
  recording_ = true;
}

void AnswerSource::record_layout(std::span<const Column> columns) {
  answer_.layout.assign(columns.begin(), columns.end());
}

void AnswerSource::record_row(SQLRETURN result, std::span<const BoundColumn> columns,
                              const char* buffer, std::size_t used) {
  RememberedRow& row = answer_.rows.emplace_back();
  row.result = result;
  row.bytes.assign(buffer, used);
  row.indicators.resize(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) row.indicators[i] = columns[i].indicator;
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
    session_.memory().release(text_);
  }
}

// A full shared memory leaves the answer to the run, as a single run would keep it.
void AnswerSource::remember() {
  AnswerMemory* run_memory = session_.run_memory();
  if (!session_.memory().keep(std::move(text_), std::move(answer_)) && run_memory != nullptr) {
    run_memory->keep(std::move(text_), std::move(answer_));
  }
}

}  // namespace varnoklis
