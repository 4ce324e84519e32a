#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "db/session.h"

namespace varnoklis {

/// How writing the download file ended.
enum class WriteResult { Written, OpenFailed, ReadBackFailed, CountDiffers, WriteFailed };

/// What the download file is to look like.
struct DownloadFormat {
  bool new_file = true;           ///< replace the file (true) or append to it
  std::size_t record_length = 0;  ///< pad each record with blanks to this length (0: no padding)
  bool line_end = false;          ///< end each record with CR LF
  std::int64_t staged = -1;       ///< records counted staged for the path (-1: not checked)
};

/// Reads the staged records of `path` back in order and writes them to the file at `path`. The
/// file changes only when the whole read-back succeeded and delivered as many records as were
/// counted staged, and a failed write leaves it as it was.
/// Prints a message on every failure. `state_folder` is the machine's usable state folder, for
/// the journal of an in-place write; empty when there is none.
WriteResult write_download_file(Session& session, const std::string& path,
                                const DownloadFormat& format, const std::string& state_folder = {});

/// Brings one read-back record to the shape of its record type: blank padding, CR LF line ends.
void shape_record(std::string& record, const DownloadFormat& format);

}  // namespace varnoklis
