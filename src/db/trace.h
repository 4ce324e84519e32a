// What the builders, queries and checks report while they handle one badge, for a caller that
// explains the result instead of writing a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoklis {

/// One fetched row: each column as text (integers in decimal), nullopt for NULL.
using TracedRow = std::vector<std::optional<std::string>>;

/// Receives the questions and outcomes of the code that builds records. A session without one
/// reports nothing, at the cost of a pointer check.
class Trace {
 public:
  virtual ~Trace() = default;
  /// The statement `asker` executes `text`; `from_memory` when it is answered from memory.
  virtual void question(const void* asker, std::string_view text, bool from_memory) = 0;
  /// The statement `asker` fetched `row` of the text it executed last.
  virtual void answer(const void* asker, TracedRow row) = 0;
  /// The class was resolved: 0 the badge's own, 1 to 6 the stage that found it, -1 none.
  virtual void class_stage(int stage) = 0;
  /// The reader-zone check read reader `reader` with zone `zone` of the terminal.
  virtual void zone_reader(std::int32_t reader, std::string_view zone) = 0;
  /// The reader-zone check counted `count` authorizations for the zone of `reader`.
  virtual void zone_count(std::int32_t reader, std::string_view zone, std::int32_t count) = 0;
  /// The reader-zone check ended with `authorized`.
  virtual void zone_result(bool authorized) = 0;
  /// The reader-1 check ended with `allowed`.
  virtual void reader1_result(bool allowed) = 0;
};

/// Takes the records of a badge walk instead of staging them: the walk hands only the badges it
/// wants to the builder, and the staging call gives their records here.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  /// A client's badge walk starts: its cursor is opened next.
  virtual void begin_walk() = 0;
  /// Whether the walk hands the badge `badge_number` to the builder; true starts its row.
  virtual bool begin_badge(std::string_view badge_number) = 0;
  /// The builder is done with the row begun last.
  virtual void end_badge() = 0;
  /// The record the builder would stage for the row begun last.
  virtual void keep(std::string_view record) = 0;
};

}  // namespace varnoklis
