#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "db/session.h"
#include "records/badge_diff.h"
#include "records/layouts.h"

namespace varnoklis {

/// How writing the download file ended.
enum class WriteResult { Written, Held, OpenFailed, ReadBackFailed, CountDiffers, WriteFailed };

/// What the download file is to look like.
struct DownloadFormat {
  bool new_file = true;           ///< replace the file (true) or append to it
  std::size_t record_length = 0;  ///< pad each record with blanks to this length (0: no padding)
  bool line_end = false;          ///< end each record with CR LF
  std::int64_t staged = -1;       ///< records counted staged for the path (-1: not checked)
  const records::Layout* layout = nullptr;  ///< the records' layout, for the comparison
  int max_removed = -1;  ///< removal limit in percent; -1: none, and no comparison
};

/// What the comparison with the replaced file found, and where a held-back file went.
struct WriteReport {
  bool compared = false;
  records::BadgeDiff diff;
  bool held = false;
  std::string held_file;  ///< empty when held but written in place
};

/// Whether a file with these counts is held back under `max_removed` percent: the old file holds
/// at least 20 badges and strictly more than that share of them went.
bool holds_back(const records::BadgeDiff& diff, int max_removed);

/// Reads the staged records of `path` back in order and writes them to the file at `path`. The
/// file changes only when the whole read-back succeeded and delivered as many records as were
/// counted staged, and a failed write leaves it as it was. With a removal limit, a new file is
/// first compared with a regular file it replaces, and held back beside it when it removes too
/// much. Prints a message on every failure and the lines of the comparison and the hold.
/// `state_folder` is the machine's usable state folder, for the journal of an in-place write;
/// empty when there is none. `report`, when given, receives the comparison.
WriteResult write_download_file(Session& session, const std::string& path,
                                const DownloadFormat& format, const std::string& state_folder = {},
                                WriteReport* report = nullptr);

/// Brings one read-back record to the shape of its record type: blank padding, CR LF line ends.
void shape_record(std::string& record, const DownloadFormat& format);

}  // namespace varnoklis
