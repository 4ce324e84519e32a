#include "explain/collector.h"

#include <cstdlib>

#include "base/output.h"
#include "db/text.h"
#include "run/download_file.h"

namespace varnoklis::explain {

namespace {

char folded(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool same_badge(std::string_view a, std::string_view b) {
  a = right_trimmed(a);
  b = right_trimmed(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (folded(a[i]) != folded(b[i])) return false;
  }
  return true;
}

Collector::Collector(Explanation& explanation, std::size_t record_length, bool line_end,
                     std::FILE* messages)
    : explanation_(explanation),
      record_length_(record_length),
      line_end_(line_end),
      messages_(messages) {}

Collector::~Collector() {
  if (capture_ != nullptr) end_badge();
}

std::vector<Question>* Collector::questions() {
  switch (phase_) {
    case Phase::Setup:
      return &explanation_.setup_questions;
    case Phase::Row:
      return &row().questions;
    case Phase::Idle:
    case Phase::Walk:
      break;
  }
  return nullptr;
}

void Collector::question(const void* asker, std::string_view text, bool from_memory) {
  std::vector<Question>* list = questions();
  if (list == nullptr) {
    asked_.erase(asker);
    return;
  }
  list->push_back({std::string(text), {}, from_memory});
  asked_[asker] = {list, list->size() - 1};
}

// A cursor's rows may arrive between other statements' questions (the readers and the count
// for each), so each row goes to the question its own statement asked.
void Collector::answer(const void* asker, TracedRow row) {
  auto found = asked_.find(asker);
  if (found == asked_.end() || questions() == nullptr) return;
  auto [list, index] = found->second;
  (*list)[index].rows.push_back(std::move(row));
}

void Collector::class_stage(int stage) {
  if (phase_ != Phase::Row) return;
  if (stage >= 0) row().class_stage = stage;
}

void Collector::zone_reader(std::int32_t reader, std::string_view zone) {
  if (phase_ != Phase::Row) return;
  row().zone.ran = true;
  row().zone.readers.emplace_back(reader, std::string(zone));
}

void Collector::zone_count(std::int32_t reader, std::string_view zone, std::int32_t count) {
  if (phase_ == Phase::Row) row().zone.counts.emplace_back(reader, std::string(zone), count);
}

void Collector::zone_result(bool authorized) {
  if (phase_ != Phase::Row) return;
  row().zone.ran = true;
  row().zone.result = authorized;
}

void Collector::reader1_result(bool allowed) {
  if (phase_ == Phase::Row) row().zone.reader1 = allowed;
}

// The row's messages are captured from here to the end of the row, so that they can be shown
// with it; outside a row they go where the program's messages go.
bool Collector::begin_badge(std::string_view badge_number) {
  if (!same_badge(badge_number, explanation_.badge)) return false;
  explanation_.rows.emplace_back();
  asked_.clear();
  phase_ = Phase::Row;
  capture_ = open_memstream(&captured_, &captured_size_);
  if (capture_ != nullptr) set_thread_output(capture_);
  return true;
}

void Collector::end_badge() {
  phase_ = Phase::Walk;
  asked_.clear();
  if (capture_ == nullptr) return;
  set_thread_output(messages_);
  std::fclose(capture_);
  capture_ = nullptr;
  if (captured_size_ > 0) row().lines = std::string(captured_, captured_size_);
  std::free(captured_);
  captured_ = nullptr;
  captured_size_ = 0;
}

void Collector::keep(std::string_view record) {
  if (phase_ != Phase::Row) return;
  std::string shaped(record);
  DownloadFormat format;
  format.record_length = record_length_;
  format.line_end = line_end_;
  shape_record(shaped, format);
  if (line_end_ && shaped.size() >= 2 && shaped.compare(shaped.size() - 2, 2, "\r\n") == 0) {
    shaped.resize(shaped.size() - 2);
  }
  row().record = std::move(shaped);
}

}  // namespace varnoklis::explain
