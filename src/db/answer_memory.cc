#include "db/answer_memory.h"

#include <ctime>
#include <memory>
#include <utility>

namespace varnoklis {

bool depends_on_date(std::string_view text) {
  return text.find("CURRENT_TIMESTAMP") != std::string_view::npos ||
         text.find("'now'") != std::string_view::npos;
}

// The database's "today" is the local date, the server's on SQL Server and the machine's on the
// store; the client's local day stands for both.
int answer_day(std::string_view text) {
  if (!depends_on_date(text)) return 0;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

// An answer read on another day is no answer for today: it is asked again and replaced. A caller
// that holds a claim itself must not wait (see Statement), so that two askers never wait for each
// other.
AnswerMemory::Shared AnswerMemory::find(const std::string& text, int day) const {
  std::lock_guard lock(mutex_);
  auto found = answers_.find(text);
  return found != answers_.end() && found->second->day == day ? found->second : nullptr;
}

AnswerMemory::Shared AnswerMemory::find(const std::string& text, int day, bool may_wait,
                                        bool& claimed) {
  std::unique_lock lock(mutex_);
  claimed = false;
  for (;;) {
    auto found = answers_.find(text);
    if (found != answers_.end() && found->second->day == day) return found->second;
    if (asking_.insert(text).second) {
      claimed = true;
      return nullptr;
    }
    if (!may_wait) return nullptr;
    answered_.wait(lock);
  }
}

bool AnswerMemory::keep(std::string&& text, Answer&& answer) {
  std::size_t size = heap_bytes(text, answer);
  std::lock_guard lock(mutex_);
  asking_.erase(text);
  answered_.notify_all();
  auto found = answers_.find(text);
  std::size_t replaced = found == answers_.end() ? 0 : heap_bytes(found->first, *found->second);
  if (bytes_ - replaced + size > bound_) {
    full_ = true;
    return false;
  }
  bytes_ = bytes_ - replaced + size;
  auto shared = std::make_shared<const Answer>(std::move(answer));
  if (found != answers_.end()) {
    found->second = std::move(shared);
  } else {
    answers_.emplace(std::move(text), std::move(shared));
  }
  return true;
}

void AnswerMemory::clear() {
  std::lock_guard lock(mutex_);
  answers_.clear();
  bytes_ = 0;
  full_ = false;
}

void AnswerMemory::release(const std::string& text) {
  std::lock_guard lock(mutex_);
  asking_.erase(text);
  answered_.notify_all();
}

std::size_t AnswerMemory::bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

bool AnswerMemory::full() const {
  std::lock_guard lock(mutex_);
  return full_;
}

namespace {

// A string keeps its characters in itself up to its small capacity; beyond it they are on the heap.
std::size_t string_heap(const std::string& text) {
  return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

// The map's node holds the key and the shared pointer; the shared answer has its own block with
// the count beside it. Buckets are counted as one pointer per node.
constexpr std::size_t kNodeBytes =
    sizeof(void*) * 2 + sizeof(std::size_t) + sizeof(std::string) + sizeof(AnswerMemory::Shared);
constexpr std::size_t kSharedBlockBytes = sizeof(Answer) + 2 * sizeof(long) + sizeof(void*);

}  // namespace

std::size_t heap_bytes(const std::string& text, const Answer& answer) {
  std::size_t bytes = kNodeBytes + kSharedBlockBytes + string_heap(text) +
                      answer.layout.capacity() * sizeof(Column) +
                      answer.rows.capacity() * sizeof(RememberedRow);
  for (const RememberedRow& row : answer.rows) {
    bytes += row.indicators.capacity() * sizeof(SQLLEN) + string_heap(row.bytes);
  }
  return bytes;
}

}  // namespace varnoklis
