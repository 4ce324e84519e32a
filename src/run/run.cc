#include "run/run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "base/output.h"
#include "builders/builder.h"
#include "builders/record.h"
#include "config/config_file.h"
#include "config/keys.h"
#include "db/schemas.h"
#include "db/session.h"
#include "db/staging.h"
#include "db/terminal_check.h"
#include "db/text.h"
#include "db/timeouts.h"
#include "records/layouts.h"
#include "run/download_file.h"
#include "run/path_lock.h"
#include "run/setup.h"

namespace varnoklis {

namespace {

struct Parameters {
  std::string keyword;
  std::string terminal;
  std::string path;
  bool new_file = false;
};

void print_usage(int count) {
  print("Anzahl Parameter(mind. 4) unterschritten! AnzParam: %d", count);
  print_usage_text();
}

// Over-long parameters are rejected rather than cut: a cut path would share its staging rows
// with another download file.
bool read_parameters(const char* const* argv, Parameters& parameters) {
  parameters.keyword = argv[1];
  parameters.terminal = argv[2];
  parameters.path = argv[3];
  parameters.new_file = argv[4][0] == '1';
  if (!fits("Param1", parameters.keyword, kKeywordCapacity) ||
      !fits("Param2", parameters.terminal, kTerminalCapacity) ||
      !fits("Param3", parameters.path, kStagingKeyCapacity)) {
    return false;
  }
  // An empty path names no file: the open of the download file could only fail.
  if (parameters.path.empty()) {
    print("Downloadfile %s konnte nicht geoeffnet werden!\n", parameters.path.c_str());
    return false;
  }
  return known_keyword(parameters.keyword);
}

// Staged records are committed in groups of VARNOKLIS_COMMIT_GROUP (1 to 1000; unset or empty:
// 1000); 1 sends each record at once under automatic commit on the one connection.
bool read_commit_group(std::size_t& records) {
  const char* setting = std::getenv("VARNOKLIS_COMMIT_GROUP");
  records = kLargestCommitGroup;
  if (setting == nullptr || *setting == '\0') return true;
  std::string_view text = setting;
  records = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || records > kLargestCommitGroup) {
      records = 0;
      break;
    }
    records = records * 10 + static_cast<std::size_t>(c - '0');
  }
  if (records >= 1 && records <= kLargestCommitGroup) return true;
  print("VARNOKLIS_COMMIT_GROUP ungueltig (1 bis %zu): %s\n", kLargestCommitGroup, setting);
  return false;
}

// The removal limit of a run: the caller's, else VARNOKLIS_MAX_REMOVED (unset or empty: none).
bool read_removal_limit(std::optional<int> given, int& limit) {
  limit = given.value_or(-1);
  const char* setting = std::getenv("VARNOKLIS_MAX_REMOVED");
  if (given || setting == nullptr || *setting == '\0') return true;
  std::optional<int> parsed = parse_removal_limit(setting);
  if (parsed) {
    limit = *parsed;
    return true;
  }
  print("VARNOKLIS_MAX_REMOVED ungueltig (0 bis 100 Prozent): %s\n", setting);
  return false;
}

struct RunState {
  explicit RunState(Session& s) : session(s) {}
  Session& session;
  Parameters parameters;
  const Builder* builder = nullptr;
  Visits visits;
  std::string state_folder;
  bool file_written = false;
  int max_removed = -1;
  RunCounts counts;
};

void build_schema(RunState& state, const std::string& name, bool usable) {
  if (!usable) return;
  const Parameters& p = state.parameters;
  BuildCounts counts = state.builder->build(state.session, p.path, p.terminal, name);
  if (counts.records_missing) state.visits.records_missing = true;
  state.counts.badges += static_cast<std::uint64_t>(counts.read);
  state.counts.records += static_cast<std::uint64_t>(counts.staged);
}

int write_file(RunState& state) {
  BuildCounts unsent;
  send_staged(state.session, unsent);
  state.counts.records += static_cast<std::uint64_t>(unsent.staged);
  if (unsent.records_missing) state.visits.records_missing = true;
  // Nothing more is sent on a staging connection that broke, the read-back included.
  if (state.session.staging_broken()) {
    print("Insert-Error Kvx999Tmp! %llu weitere Saetze nicht gestellt (Verbindung abgebrochen)\n",
          static_cast<unsigned long long>(state.session.counts().unsent));
    return kExitDatabase;
  }
  DownloadFormat format;
  format.staged = static_cast<std::int64_t>(state.counts.records);
  format.new_file = state.parameters.new_file;
  format.record_length = state.visits.visited > 0 ? state.builder->record_length : 0;
  format.line_end = state.visits.visited > 0 && state.builder->line_end;
  format.layout = records::find_layout(state.parameters.keyword);
  format.max_removed = state.max_removed;
  WriteReport report;
  WriteResult result = write_download_file(state.session, state.parameters.path, format,
                                           state.state_folder, &report);
  RunCounts& counts = state.counts;
  counts.compared = report.compared;
  counts.added = report.diff.added;
  counts.removed = report.diff.removed;
  counts.changed = report.diff.changed;
  counts.previous = report.diff.previous;
  counts.held = report.held;
  counts.held_file = report.held_file;
  switch (result) {
    case WriteResult::Held:
      return kExitHeld;
    case WriteResult::Written:
      state.file_written = true;
      return state.visits.records_missing || state.session.counts().failures > 0
                 ? kExitRecordsMissing
                 : kExitOk;
    case WriteResult::ReadBackFailed:
    case WriteResult::CountDiffers:
      return kExitDatabase;
    case WriteResult::OpenFailed:
    case WriteResult::WriteFailed:
      break;
  }
  return kExitFileNotWritten;
}

// With VARNOKLIS_STATS set, the number of statements sent goes to standard error at the end,
// for measuring; standard output stays exactly the run's messages. A caller that asked for the
// counts gets them however the run ends.
struct StatementReport {
  RunState& state;
  RunCounts* counts;
  ~StatementReport() {
    const Session& session = state.session;
    if (counts != nullptr) {
      *counts = state.counts;
      if (!state.file_written) counts->records = 0;
      counts->statements = session.counts().statements;
      counts->remembered = session.counts().remembered;
    }
    if (std::getenv("VARNOKLIS_STATS") != nullptr) {
      std::fprintf(stderr, "statements: %llu\nremembered: %llu\nfetches: %llu\ncommits: %llu\n",
                   static_cast<unsigned long long>(session.counts().statements),
                   static_cast<unsigned long long>(session.counts().remembered),
                   static_cast<unsigned long long>(session.counts().fetches),
                   static_cast<unsigned long long>(session.counts().commits));
      std::fprintf(stderr, "memory: %zu answers, %zu bytes\n", state.session.memory().answers(),
                   state.session.memory().bytes());
    }
  }
};

}  // namespace

int run_download(int argc, const char* const* argv, FaultHook fault_hook, RunCounts* counts) {
  Session session;
  session.seam().set_fault_hook(std::move(fault_hook));
  return run_job(argc, argv, session, counts);
}

std::optional<int> parse_removal_limit(std::string_view text) {
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 100) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (text.empty() || value > 100) return std::nullopt;
  return value;
}

int run_job(int argc, const char* const* argv, Session& session, RunCounts* counts,
            std::optional<int> max_removed) {
  session.begin_run();
  RunState state(session);
  if (argc - 1 < 4) {
    print_usage(argc - 1);
    return kExitUsage;
  }
  // Answering repeated questions from memory can be switched off, to compare or to measure.
  state.session.set_remembering(std::getenv("VARNOKLIS_NO_MEMORY") == nullptr);
  StatementReport report{state, counts};
  LockSettings lock_settings;
  DatabaseTimeouts timeouts;
  if (!read_parameters(argv, state.parameters) || !read_lock_settings(lock_settings) ||
      !read_database_timeouts(timeouts)) {
    return kExitUsage;
  }
  state.session.set_timeouts(timeouts);
  std::size_t commit_group = 1;
  if (!read_commit_group(commit_group) || !read_removal_limit(max_removed, state.max_removed)) {
    return kExitUsage;
  }
  state.session.group().size = commit_group;
  state.builder = find_builder(state.parameters.keyword);
  // An interrupted write is mended before anything else can fail, also when the connect does.
  PathLock lock;
  if (!take_download_path(state.parameters.path, lock_settings, lock, state.state_folder)) {
    return kExitFileNotWritten;
  }
  Credentials credentials;
  if (!read_credentials(credentials)) return kExitConnect;

  if (!connect_database(session, credentials)) return kExitConnect;
  switch (check_terminal(session, state.parameters.terminal)) {
    case 1:
      break;
    case 0:
      return kExitUsage;
    default:
      return kExitDatabase;
  }
  int cleared = clear_staging(state.session, state.parameters.path);
  if (cleared != 0) {
    print("Error Tab. Kvx999Tmp loeschen! ErrNr: %d User: %s", cleared,
          state.parameters.path.c_str());
    return kExitDatabase;
  }
  visit_schemas(session, state.parameters.terminal, state.visits,
                [&](const std::string& name, bool usable) { build_schema(state, name, usable); });
  // Without any client list the run cannot tell which records belong in the file; an empty file
  // would lock everybody out, so the previous one stays.
  if (state.visits.visited == 0 && state.visits.list_failed) {
    print("Keine Mandanten lesbar! Downloadfile %s bleibt unveraendert.\n",
          state.parameters.path.c_str());
    return kExitDatabase;
  }
  return write_file(state);
}

void print_usage_text() {
  print("Aufruf: VARNOKLIS [Param1] [Param2] [Param3] [Param4]  \n");
  print("Param1: DNL-Funktion\n");
  print("Param2: Terminal-Name\n");
  print("Param3: Pfad der DNL-Datei\n");
  print("Param4: 1: neu 0: dran h\xe4ngen\n");
}

}  // namespace varnoklis
