#include "db/answer_memory.h"

#include <utility>

namespace varnoklis {

const AnswerMemory::Entry* AnswerMemory::find(const std::string& text) const {
  auto found = answers_.find(text);
  return found == answers_.end() ? nullptr : &*found;
}

void AnswerMemory::keep(std::string text, Answer answer) {
  answers_.emplace(std::move(text), std::move(answer));
}

}  // namespace varnoklis
