#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/session.h"

namespace varnoklis {

/// What one builder call over one client schema did.
struct BuildCounts {
  int read = 0;                  ///< badges fetched
  int staged = 0;                ///< records put into the file
  bool records_missing = false;  ///< a badge cursor or an insert failed: the file lacks records
};

/// Builds and stages the records of one client schema for one terminal.
using BuildFunction = BuildCounts (*)(Session& session, std::string_view path,
                                      std::string_view terminal, std::string_view schema);

/// A download function: its keyword, record length (0: not padded) and line end from its
/// layout, and its builder.
struct Builder {
  std::string_view keyword;
  std::size_t record_length;
  bool line_end;
  BuildFunction build;
};

/// The builder of an upper-case keyword; nullptr for an unknown one.
const Builder* find_builder(std::string_view keyword);

/// QZDNL17P: records with one day balance and eleven reader groups.
BuildCounts build_qzdnl17p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema);
/// QZDNL18P: records with eight display lines.
BuildCounts build_qzdnl18p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema);
/// QZDNL31P: records for badges with access.
BuildCounts build_qzdnl31p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema);
/// QZDNL60P: records with a terminal-chosen balance and three reader groups.
BuildCounts build_qzdnl60p(Session& session, std::string_view path, std::string_view terminal,
                           std::string_view schema);
/// IDSTAMM: one line of thirteen quoted values per badge.
BuildCounts build_idstamm(Session& session, std::string_view path, std::string_view terminal,
                          std::string_view schema);

}  // namespace varnoklis
