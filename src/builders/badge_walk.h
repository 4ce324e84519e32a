#pragma once

#include <string_view>

#include "builders/builder.h"
#include "builders/record.h"
#include "db/result_code.h"
#include "db/session.h"
#include "queries/badge_cursor.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// Walks the badges of one client schema: each is fetched into `row` (empty before the first
/// and again after every badge, so nothing carries over), counted as read and handed to
/// `handle`; the records still collected are sent, then the summary line ends the walk. A badge
/// cursor that cannot open or fetch marks the records missing. With a sink on the session, only
/// the badges the sink wants are handed over, and the walk prints no summary line.
template <class Handle>
void walk_badges(Session& session, std::string_view schema, BadgeRow& row, BuildCounts& counts,
                 Handle&& handle) {
  BadgeCursor badges;
  row.clear();
  RecordSink* sink = session.sink();
  if (sink != nullptr) sink->begin_walk();
  if (badges.open(session, schema) != 0) counts.records_missing = true;
  int fetched = 0;
  while ((fetched = badges.fetch(row)) == 0) {
    ++counts.read;
    if (sink != nullptr && !sink->begin_badge(row.badge_number)) {
      row.clear();
      continue;
    }
    session.set_badge(row.badge_number);
    handle();
    session.clear_badge();
    if (sink != nullptr) sink->end_badge();
    row.clear();
  }
  if (fetched != kNoData) counts.records_missing = true;
  badges.close();
  send_staged(session, counts);
  // A sink takes a few badges' records: counts over the whole client would mislead.
  if (sink == nullptr) print_summary(counts);
}

}  // namespace varnoklis
