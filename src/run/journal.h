#pragma once

#include <sys/types.h>

#include <string>

namespace varnoklis {

/// The machine's state folder (`state_dir`), made when it is missing; empty when it does not
/// exist and cannot be made, or when the running user cannot write in it.
std::string usable_state_folder(const std::string& state_dir);

/// The journal of an in-place write or an append to the download file `path`: beside the path
/// where its folder is writable, else in `state_folder` keyed by the file's device and inode;
/// empty when neither can take it.
std::string journal_name(const std::string& path, const std::string& state_folder, dev_t device,
                         ino_t inode);

/// Makes the journal of a write to the file `fd` (device and inode from it) durable at `name`:
/// for an overwrite the new content read from `content_fd`, for an append (`content_fd` -1) the
/// file's present length `old_length`. False when it could not be written and synced.
bool write_journal(const std::string& name, int fd, int content_fd, off_t old_length);

/// Removes the journal `name` once the write it guards is durable; false when it stays.
bool drop_journal(const std::string& name);

/// Removes the marked temporary names left by killed runs for the file `name` in `folder`.
void remove_stale_temporaries(const std::string& folder, const std::string& name);

/// Finishes an interrupted overwrite of `path` or takes back an interrupted append, from the
/// journals that runs for `path` may have left, after removing their stale temporary files.
/// Prints the open message or the journal message and returns false when it cannot.
bool repair_download_file(const std::string& path, const std::string& state_folder);

}  // namespace varnoklis
