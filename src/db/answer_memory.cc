#include "db/answer_memory.h"

#include <ctime>
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

// An answer read on another day is no answer for today: it is asked again and replaced.
const AnswerMemory::Entry* AnswerMemory::find(const std::string& text, int day) const {
  auto found = answers_.find(text);
  if (found == answers_.end() || found->second.day != day) return nullptr;
  return &*found;
}

void AnswerMemory::keep(std::string text, Answer answer) {
  answers_.insert_or_assign(std::move(text), std::move(answer));
}

}  // namespace varnoklis
