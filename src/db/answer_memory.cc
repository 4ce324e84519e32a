#include "db/answer_memory.h"

#include <cstring>
#include <ctime>
#include <new>
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

namespace {

// A column's length as stored: the bytes that follow, or kNullMark for NULL.
using StoredLength = std::uint16_t;
constexpr StoredLength kNullMark = 0xFFFF;

template <class T>
void append_raw(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <class T>
T read_raw(std::string_view in, std::size_t& at) {
  T value{};
  std::memcpy(&value, in.data() + at, sizeof value);
  at += sizeof value;
  return value;
}

std::size_t stored_size(const Column& column, const char* data) {
  switch (column.kind) {
    case Column::Text:
      return strnlen(data, column.width);
    case Column::Long:
      return sizeof(std::int32_t);
    case Column::Double:
      return sizeof(double);
  }
  return 0;
}

// The statement texts, each numbered once per process: a key names its text by that number.
std::uint32_t text_number(std::string_view pattern) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::uint32_t> numbers;
  std::lock_guard lock(mutex);
  auto [found, added] =
      numbers.try_emplace(std::string(pattern), static_cast<std::uint32_t>(numbers.size()));
  return found->second;
}

}  // namespace

// The indicator of a cut text holds the full length, not the bytes returned: the bytes stored
// are those up to the terminator, which is all a helper reads.
void append_row(Answer& answer, SQLRETURN result, std::span<const BoundColumn> columns,
                const char* buffer) {
  append_raw(answer.rows, static_cast<std::int16_t>(result));
  for (const BoundColumn& bound : columns) {
    if (bound.indicator == SQL_NULL_DATA) {
      append_raw(answer.rows, kNullMark);
      continue;
    }
    const char* data = buffer + bound.offset;
    std::size_t size = stored_size(bound.column, data);
    append_raw(answer.rows, static_cast<StoredLength>(size));
    answer.rows.append(data, size);
  }
  ++answer.row_count;
}

SQLRETURN read_row(std::string_view rows, std::size_t& at, std::span<BoundColumn> columns,
                   char* buffer) {
  auto result = static_cast<SQLRETURN>(read_raw<std::int16_t>(rows, at));
  for (BoundColumn& bound : columns) {
    StoredLength size = read_raw<StoredLength>(rows, at);
    if (size == kNullMark) {
      bound.indicator = SQL_NULL_DATA;
      continue;
    }
    char* data = buffer + bound.offset;
    std::memcpy(data, rows.data() + at, size);
    if (bound.column.kind == Column::Text) data[size] = '\0';
    bound.indicator = static_cast<SQLLEN>(size);
    at += size;
  }
  return result;
}

std::string answer_key(const SqlText& sql, Dialect dialect, Values values) {
  std::string key;
  append_raw(key, text_number(pick(sql, dialect)));
  key.push_back(dialect == Dialect::Sqlite ? 's' : 'm');
  for (std::string_view value : values) {
    append_raw(key, static_cast<std::uint32_t>(value.size()));
    key.append(value);
  }
  return key;
}

std::string_view StoredAnswer::key() const {
  return {reinterpret_cast<const char*>(this + 1), key_size};
}

// The columns follow the key at the next multiple of their alignment.
namespace {
std::size_t layout_offset(std::size_t key_size) {
  return (key_size + alignof(Column) - 1) / alignof(Column) * alignof(Column);
}
}  // namespace

std::span<const Column> StoredAnswer::layout() const {
  auto base = reinterpret_cast<const char*>(this + 1);
  return {reinterpret_cast<const Column*>(base + layout_offset(key_size)), columns};
}

std::string_view StoredAnswer::rows() const {
  auto base = reinterpret_cast<const char*>(this + 1);
  return {base + layout_offset(key_size) + columns * sizeof(Column), rows_size};
}

namespace {

// One block in words, so that the header and the columns are aligned; the shared pointer's count
// lives in the same allocation.
using Word = std::uint64_t;

AnswerMemory::Shared make_block(const std::string& key, const Answer& answer,
                                AnswerMemory::Counting<Word> allocator) {
  std::size_t size = sizeof(StoredAnswer) + layout_offset(key.size()) +
                     answer.layout.size() * sizeof(Column) + answer.rows.size();
  auto words = std::allocate_shared<Word[]>(allocator, (size + sizeof(Word) - 1) / sizeof(Word));
  auto* stored = new (words.get()) StoredAnswer{answer.day, static_cast<std::uint32_t>(key.size()),
                                                static_cast<std::uint32_t>(answer.layout.size()),
                                                answer.row_count, answer.rows.size()};
  auto* base = reinterpret_cast<char*>(stored + 1);
  // An empty layout or row set has no data pointer, which memcpy must not be given.
  auto put = [](char* to, const void* from, std::size_t bytes) {
    if (bytes != 0) std::memcpy(to, from, bytes);
  };
  put(base, key.data(), key.size());
  put(base + layout_offset(key.size()), answer.layout.data(),
      answer.layout.size() * sizeof(Column));
  put(base + layout_offset(key.size()) + answer.layout.size() * sizeof(Column), answer.rows.data(),
      answer.rows.size());
  return AnswerMemory::Shared(std::move(words), stored);
}

}  // namespace

AnswerMemory::AnswerMemory(std::size_t bound_bytes)
    : answers_(0, std::hash<std::string_view>(), std::equal_to<>(),
               Counting<std::pair<const std::string_view, Shared>>(&bytes_)),
      bound_(bound_bytes) {}

AnswerMemory::~AnswerMemory() = default;

// An answer read on another day is no answer for today: it is asked again and replaced. A caller
// that holds a claim itself must not wait (see AnswerSource), so that two askers never wait for
// each other.
AnswerMemory::Shared AnswerMemory::find(const std::string& key, int day) const {
  std::lock_guard lock(mutex_);
  auto found = answers_.find(std::string_view(key));
  return found != answers_.end() && found->second->day == day ? found->second : nullptr;
}

AnswerMemory::Shared AnswerMemory::find(const std::string& key, int day, bool may_wait,
                                        bool& claimed) {
  std::unique_lock lock(mutex_);
  claimed = false;
  for (;;) {
    auto found = answers_.find(std::string_view(key));
    if (found != answers_.end() && found->second->day == day) return found->second;
    if (asking_.insert(key).second) {
      claimed = true;
      return nullptr;
    }
    if (!may_wait) return nullptr;
    answered_.wait(lock);
  }
}

// What the answer will take is known only once it is allocated: it is taken in, and given up
// again when the memory then holds more than its bound.
bool AnswerMemory::keep(const std::string& key, const Answer& answer) {
  std::lock_guard lock(mutex_);
  asking_.erase(key);
  answered_.notify_all();
  auto found = answers_.find(std::string_view(key));
  Shared replaced;
  if (found != answers_.end()) {
    replaced = std::move(found->second);
    answers_.erase(found);
  }
  Shared block = make_block(key, answer, Counting<Word>(&bytes_));
  auto [entry, added] = answers_.emplace(block->key(), block);
  if (bytes_.load() > bound_) {
    answers_.erase(entry);
    block.reset();
    full_ = true;
    return false;
  }
  return true;
}

void AnswerMemory::clear() {
  std::lock_guard lock(mutex_);
  answers_.clear();
  full_ = false;
}

void AnswerMemory::release(const std::string& key) {
  std::lock_guard lock(mutex_);
  asking_.erase(key);
  answered_.notify_all();
}

std::size_t AnswerMemory::answers() const {
  std::lock_guard lock(mutex_);
  return answers_.size();
}

bool AnswerMemory::full() const {
  std::lock_guard lock(mutex_);
  return full_;
}

}  // namespace varnoklis
