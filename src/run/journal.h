#pragma once

#include <sys/types.h>

#include <string>

#include "run/file_failure.h"

namespace varnoklis {

/// The machine's state folder (`state_dir`), made when it is missing; empty when it does not
/// exist and cannot be made, or when the running user cannot write in it.
std::string usable_state_folder(const std::string& state_dir);

/// The journal of an in-place write or an append to the download file `file` (its symbolic links
/// followed): in `state_folder` keyed by the file's device and inode where there is one, else
/// beside the file; empty, with the reason in `failure`, when neither can take it.
std::string journal_name(const std::string& file, const std::string& state_folder, dev_t device,
                         ino_t inode, FileFailure& failure);

/// Makes the journal of a write to the file `fd`, reached as `file`, durable at `name`: for an
/// overwrite the new content read from `content_fd`, for an append (`content_fd` -1) the file's
/// present length `old_length`. False, with the reason in `failure`, when it could not be written
/// and synced.
bool write_journal(const std::string& name, int fd, const std::string& file, int content_fd,
                   off_t old_length, FileFailure& failure);

/// Removes the journal `name` once the write it guards is durable; false when it stays.
bool drop_journal(const std::string& name);

/// Removes the marked temporary names left by killed runs for the file `name` in `folder`.
void remove_stale_temporaries(const std::string& folder, const std::string& name);

/// Finishes an interrupted overwrite of `path` or takes back an interrupted append, from the
/// journals that runs for the file at `path` may have left (beside the path as given, beside the
/// file, in `state_folder`), after removing their stale temporary files. Prints the open message,
/// the write message or the journal message and returns false when it cannot.
bool repair_download_file(const std::string& path, const std::string& state_folder);

/// For the test build: behaves as on a file system that keeps no birth times.
void ignore_birth_times(bool ignore);

}  // namespace varnoklis
