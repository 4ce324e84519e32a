#include "records/badge_diff.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace varnoklis::records {

namespace {

// A badge as a fixed key: its bytes and length; a longer one (only a foreign quoted line holds
// one) keeps its first bytes and a hash of all of them.
using Key = std::array<char, 16>;

struct Entry {
  Key badge{};
  std::uint64_t hash = 0;
  bool operator<(const Entry& other) const {
    return badge != other.badge ? badge < other.badge : hash < other.hash;
  }
};

std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  return h ^ (h >> 33);
}

std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t h = 0xcbf29ce484222325ULL) {
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ULL;
  return mix(h ^ bytes.size());
}

Key key_of(std::string_view badge) {
  Key key{};
  constexpr std::size_t kLast = sizeof(Key) - 1;
  if (badge.size() < kLast) {
    std::memcpy(key.data(), badge.data(), badge.size());
    key[kLast] = static_cast<char>(badge.size());
    return key;
  }
  const std::uint64_t hash = hash_bytes(badge);
  std::memcpy(key.data(), badge.data(), kLast - sizeof hash);
  std::memcpy(key.data() + kLast - sizeof hash, &hash, sizeof hash);
  key[kLast] = static_cast<char>(0xff);
  return key;
}

// Splits the bytes of one file into records as they arrive and keeps (badge, record hash) of
// each; false once the bytes are not whole records of the layout.
class RecordSplitter {
 public:
  explicit RecordSplitter(const Layout& layout) : layout_(layout) {}

  bool add(std::string_view bytes) {
    pending_.append(bytes);
    std::size_t start = 0;
    for (std::size_t end; (end = next_end(start)) != std::string::npos; start = end) {
      if (!take(std::string_view(pending_).substr(start, end - start))) return false;
    }
    pending_.erase(0, start);
    return true;
  }

  // The last line of a quoted file may lack its line end; a fixed file ends on a record's end.
  bool finish() {
    if (pending_.empty()) return true;
    if (layout_.record_length != 0) return false;
    return take(pending_);
  }

  std::vector<Entry>& entries() { return entries_; }

 private:
  std::size_t next_end(std::size_t start) const {
    if (layout_.record_length != 0) {
      return pending_.size() - start >= layout_.record_length ? start + layout_.record_length
                                                              : std::string::npos;
    }
    std::size_t feed = pending_.find('\n', start);
    return feed == std::string::npos ? feed : feed + 1;
  }

  bool take(std::string_view record) {
    if (layout_.record_length != 0) {
      entries_.push_back({key_of(record.substr(0, kBadge.width)), hash_bytes(record)});
      return true;
    }
    if (record.ends_with('\n')) record.remove_suffix(1);
    if (record.ends_with('\r')) record.remove_suffix(1);
    if (!split_quoted_line(record, values_)) return false;
    entries_.push_back({key_of(values_[0]), hash_bytes(record)});
    return true;
  }

  const Layout& layout_;
  std::string pending_;
  std::vector<std::string> values_;
  std::vector<Entry> entries_;
};

// The entries of the file at `fd`, one per badge with the hash of its sorted records; false
// when it cannot be read or is not whole records.
bool badges_of(const Layout& layout, int fd, std::vector<Entry>& badges) {
  RecordSplitter splitter(layout);
  std::array<char, 1 << 16> buffer;
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    at += n;
    if (!splitter.add(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
  }
  if (!splitter.finish()) return false;
  badges = std::move(splitter.entries());
  std::sort(badges.begin(), badges.end());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < badges.size(); ++kept) {
    Entry folded{badges[i].badge, 0};
    for (; i < badges.size() && badges[i].badge == folded.badge; ++i) {
      folded.hash = mix(folded.hash ^ badges[i].hash) + 1;
    }
    badges[kept] = folded;
  }
  badges.resize(kept);
  badges.shrink_to_fit();
  return true;
}

}  // namespace

BadgeDiff compare_badges(const Layout& layout, int old_fd, int new_fd) {
  BadgeDiff diff;
  std::vector<Entry> old_badges;
  std::vector<Entry> new_badges;
  if (!badges_of(layout, old_fd, old_badges) || !badges_of(layout, new_fd, new_badges)) {
    return diff;
  }
  diff.comparable = true;
  diff.previous = old_badges.size();
  auto old_it = old_badges.begin();
  auto new_it = new_badges.begin();
  while (old_it != old_badges.end() || new_it != new_badges.end()) {
    if (new_it == new_badges.end() ||
        (old_it != old_badges.end() && old_it->badge < new_it->badge)) {
      ++diff.removed;
      ++old_it;
    } else if (old_it == old_badges.end() || new_it->badge < old_it->badge) {
      ++diff.added;
      ++new_it;
    } else {
      if (old_it->hash != new_it->hash) ++diff.changed;
      ++old_it;
      ++new_it;
    }
  }
  return diff;
}

std::string badge_diff_line(const BadgeDiff& diff) {
  if (!diff.comparable)
    return "Gegenueber bisheriger Datei: nicht vergleichbar (keine ganzen Saetze)\n";
  char line[160];
  std::snprintf(
      line, sizeof line,
      "Gegenueber bisheriger Datei: %llu neu, %llu entfallen, %llu geaendert (von %llu)\n",
      static_cast<unsigned long long>(diff.added), static_cast<unsigned long long>(diff.removed),
      static_cast<unsigned long long>(diff.changed),
      static_cast<unsigned long long>(diff.previous));
  return line;
}

}  // namespace varnoklis::records
