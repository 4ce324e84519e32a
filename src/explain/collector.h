// Collects what the run's own code reports while it builds one badge's records.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/trace.h"
#include "explain/explanation.h"

namespace varnoklis::explain {

/// Whether two badge numbers are equal as the database compares them: without regard to letter
/// case and trailing blanks.
bool same_badge(std::string_view a, std::string_view b);

/// The trace and record sink of one explanation: questions asked before a client's badge walk
/// are the setup questions, those asked while a row of the badge is handled belong to that row,
/// and everything else (the badge cursor, other badges) is left out. A row's messages are
/// captured through the thread's output.
class Collector : public Trace, public RecordSink {
 public:
  /// Collects into `explanation` the rows of its badge; records are shaped to `record_length`
  /// (0: not padded) and, with `line_end`, read as lines; `messages` is the thread's output
  /// outside a row.
  Collector(Explanation& explanation, std::size_t record_length, bool line_end,
            std::FILE* messages);
  ~Collector() override;
  Collector(const Collector&) = delete;
  Collector& operator=(const Collector&) = delete;

  /// A client's builder starts: its questions are setup questions until its walk starts.
  void begin_client() { phase_ = Phase::Setup; }
  /// Whether any row of the badge was handed to the builder.
  bool selected() const { return !explanation_.rows.empty(); }

  void question(const void* asker, std::string_view text, bool from_memory) override;
  void answer(const void* asker, TracedRow row) override;
  void class_stage(int stage) override;
  void zone_reader(std::int32_t reader, std::string_view zone) override;
  void zone_count(std::int32_t reader, std::string_view zone, std::int32_t count) override;
  void zone_result(bool authorized) override;
  void reader1_result(bool allowed) override;

  void begin_walk() override { phase_ = Phase::Walk; }
  bool begin_badge(std::string_view badge_number) override;
  void end_badge() override;
  void keep(std::string_view record) override;

 private:
  enum class Phase { Idle, Setup, Walk, Row };
  std::vector<Question>* questions();
  Row& row() { return explanation_.rows.back(); }

  Explanation& explanation_;
  std::size_t record_length_;
  bool line_end_;
  std::FILE* messages_;
  Phase phase_ = Phase::Idle;
  // The question each statement asked last, as its list and place in it.
  std::map<const void*, std::pair<std::vector<Question>*, std::size_t>> asked_;
  std::FILE* capture_ = nullptr;
  char* captured_ = nullptr;
  std::size_t captured_size_ = 0;
};

}  // namespace varnoklis::explain
