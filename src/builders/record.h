#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "builders/builder.h"
#include "db/session.h"
#include "records/layouts.h"

namespace varnoklis {

/// Fills `record` with `length` blanks.
void blank_record(std::string& record, std::size_t length);

/// Copies `text` into `record` from the first position of `field` for the text's own length,
/// never past the end of the record.
void put(std::string& record, const records::Field& field, std::string_view text);

/// Copies at most the field's width of `text` into `record` at `field`.
void put_cut(std::string& record, const records::Field& field, std::string_view text);

/// Fills `field` of `record` with `c`.
void fill(std::string& record, const records::Field& field, char c);

/// Whether `field` of `record` holds only blanks.
bool is_blank(const std::string& record, const records::Field& field);

/// Blanks `record` from the first position of `field` to its end.
void blank_from(std::string& record, const records::Field& field);

/// Stages `record`, or with groups collects it and sends the group when it is full; counts each
/// record stored, else prints the insert error and marks records missing. A sink on the session
/// takes the record instead.
void stage_or_report(Session& session, std::string_view path, std::string_view record,
                     BuildCounts& counts);

/// Sends the records collected so far, counting them as stage_or_report does.
void send_staged(Session& session, BuildCounts& counts);

/// Prints the summary line of one builder call.
void print_summary(const BuildCounts& counts);

}  // namespace varnoklis

namespace varnoklis {

struct BadgeRow;

/// Widths of the badge number and class fields of a fixed-length record, taken from its layout;
/// class 0: the layout has no class field.
struct FieldWidths {
  std::size_t badge;
  std::size_t class_code = 0;
};

/// Whether the badge number fits its field and, when `class_written`, the class fits its own; a
/// badge that does not fit is reported and must not be staged (a cut number names another badge).
bool fits_record(const BadgeRow& row, FieldWidths widths, bool class_written);

}  // namespace varnoklis
