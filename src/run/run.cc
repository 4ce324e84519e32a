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

namespace varnoklis {

// The stored SCHEMA value is one character longer than the schema it names.
static_assert(config::key_capacity("SCHEMA") == kSchemaCapacity + 1);

namespace {

constexpr std::size_t kKeywordCapacity = 19;
constexpr std::size_t kTerminalCapacity = 11;

struct Parameters {
  std::string keyword;
  std::string terminal;
  std::string path;
  bool new_file = false;
};

struct Credentials {
  std::string login;
  std::string password;
  std::string database;
  std::string schema;
};

void print_usage(int count) {
  print("Anzahl Parameter(mind. 4) unterschritten! AnzParam: %d", count);
  print_usage_text();
}

// A secret value is shown as asterisks, as in the connect failure message.
bool fits(const char* name, const std::string& value, std::size_t capacity, bool secret = false) {
  if (value.size() <= capacity) return true;
  std::string shown = secret ? std::string(value.size(), '*') : value;
  print("%s zu lang (max. %zu Zeichen): %s\n", name, capacity, shown.c_str());
  return false;
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
  upper_case(parameters.keyword);
  if (find_builder(parameters.keyword) == nullptr) {
    print("Unbekannte DNL-Funktion: %s\n", parameters.keyword.c_str());
    return false;
  }
  return true;
}

// A configuration file that cannot be read is named once, as the absolute path tried from the
// working directory, since the relative path alone does not tell an operator where to look.
void report_unreadable_config(const char* path, int error) {
  std::error_code unknown;
  std::string cwd = std::filesystem::current_path(unknown).string();
  std::string tried = config::absolute_path(path);
  print(error == ENOENT || error == ENOTDIR
            ? "Konfigurationsdatei %s nicht gefunden! Arbeitsverzeichnis: %s\n"
            : "Konfigurationsdatei %s nicht lesbar! Arbeitsverzeichnis: %s\n",
        tried.c_str(), cwd.empty() ? "?" : cwd.c_str());
}

// A value that is missing reads as empty and the run goes on, as before; the added line says
// which key the connect will lack.
bool read_credential(const char* path, const char* key, std::size_t capacity, std::string& value,
                     bool& file_reported) {
  config::ConfigValue found = config::read_config_value(path, "", key, 0);
  switch (found.status) {
    case config::ConfigStatus::BadValue:
    case config::ConfigStatus::FieldTooLong:
      print("Konfigurationswert %s in %s ungueltig!\n", key, path);
      return false;
    case config::ConfigStatus::NoFile:
      if (!file_reported) report_unreadable_config(path, found.file_error);
      file_reported = true;
      break;
    case config::ConfigStatus::NotFound:
      print("Konfigurationswert %s in %s nicht gefunden!\n", key, path);
      break;
    case config::ConfigStatus::Found:
      break;
  }
  value = found.value;
  return fits(key, value, capacity, std::string_view(key) == "PASS");
}

// An installed system keeps its configuration elsewhere and names it in VARNOKLIS_CONFIG.
const char* config_path() {
  const char* named = std::getenv("VARNOKLIS_CONFIG");
  return named != nullptr && *named != '\0' ? named : config::kConfigPath;
}

bool read_credentials(Credentials& credentials) {
  const char* path = config_path();
  bool reported = false;
  if (!read_credential(path, "LOGIN", config::key_capacity("LOGIN"), credentials.login, reported) ||
      !read_credential(path, "PASS", config::key_capacity("PASS"), credentials.password,
                       reported) ||
      !read_credential(path, "DATABASE", config::key_capacity("DATABASE"), credentials.database,
                       reported) ||
      !read_credential(path, "SCHEMA", config::key_capacity("SCHEMA"), credentials.schema,
                       reported)) {
    return false;
  }
  // The stored schema value carries one character too many; the configured schema is the rest.
  if (!credentials.schema.empty()) credentials.schema.pop_back();
  upper_case(credentials.schema);
  return true;
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
  bool records_missing = false;
  bool list_failed = false;
  int visited = 0;
  std::string state_folder;
  bool file_written = false;
  int max_removed = -1;
  RunCounts counts;
};

// A schema name qualifies the client tables in the statement texts, so it may hold only
// letters, digits and underscores: nothing in it can change a statement.
bool plain_schema_name(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

void visit_schema(RunState& state, std::string name) {
  upper_case(name);
  if (name == "DBO") name = "KELVANIRO";
  print("Schema: %s\n", from_database(name).c_str());
  ++state.visited;
  if (!plain_schema_name(name)) {
    print("Schemaname %s ungueltig!\n", from_database(name).c_str());
    state.records_missing = true;
    return;
  }
  int switched = state.session.switch_schema(name);
  if (switched != 0) {
    print(switched == -1 ? "Mandantendatei %s.db nicht gefunden!\n"
                         : "Mandantendatei %s.db konnte nicht angebunden werden!\n",
          from_database(name).c_str());
    state.records_missing = true;
    return;
  }
  const Parameters& p = state.parameters;
  BuildCounts counts = state.builder->build(state.session, p.path, p.terminal, name);
  if (counts.records_missing) state.records_missing = true;
  state.counts.badges += static_cast<std::uint64_t>(counts.read);
  state.counts.records += static_cast<std::uint64_t>(counts.staged);
}

// Visits every schema of an opened list; false when the list could not be read to its end.
bool visit_list(RunState& state, SchemaList& list, int opened) {
  if (opened != 0) return false;
  std::string name;
  int fetched = 0;
  while ((fetched = list.fetch(name)) == 0) visit_schema(state, name);
  list.close();
  return fetched == 100;
}

// Every active client is visited only when the terminal's own list visited none, also when
// that list failed.
void visit_schemas(RunState& state) {
  SchemaList list;
  Session& session = state.session;
  if (!visit_list(state, list, list.open_linked(session, state.parameters.terminal))) {
    state.list_failed = true;
  }
  if (state.visited > 0) return;
  if (!visit_list(state, list, list.open_all(session))) state.list_failed = true;
}

// A terminal no table knows would get a file that refuses every badge: a mistyped name stops
// the run before anything is cleared.
int check_terminal(RunState& state) {
  switch (terminal_known(state.session, state.parameters.terminal)) {
    case 1:
      return kExitOk;
    case 0:
      print("Terminal %s unbekannt!\n", state.parameters.terminal.c_str());
      return kExitUsage;
  }
  return kExitDatabase;
}

int write_file(RunState& state) {
  BuildCounts unsent;
  send_staged(state.session, unsent);
  state.counts.records += static_cast<std::uint64_t>(unsent.staged);
  if (unsent.records_missing) state.records_missing = true;
  // Nothing more is sent on a staging connection that broke, the read-back included.
  if (state.session.staging_broken()) {
    print("Insert-Error Kvx999Tmp! %llu weitere Saetze nicht gestellt (Verbindung abgebrochen)\n",
          static_cast<unsigned long long>(state.session.counts().unsent));
    return kExitDatabase;
  }
  DownloadFormat format;
  format.staged = static_cast<std::int64_t>(state.counts.records);
  format.new_file = state.parameters.new_file;
  format.record_length = state.visited > 0 ? state.builder->record_length : 0;
  format.line_end = state.visited > 0 && state.builder->line_end;
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
      return state.records_missing || state.session.counts().failures > 0 ? kExitRecordsMissing
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
    }
  }
};

}  // namespace

int run(int argc, const char* const* argv, FaultHook fault_hook, RunCounts* counts) {
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

  // A session that already holds working connections for these credentials keeps them; the run
  // reads and reports as if it had just connected.
  int connected = 0;
  if (!session.connected_as(credentials.database, credentials.login, credentials.password)) {
    connected = session.connect(credentials.database, credentials.login, credentials.password);
  }
  if (connected != 0) {
    print("DB-Connect-Error: %d!", connected);
    std::string hidden(credentials.password.size(), '*');
    print("Name:%s Pwd:%s Net:%s Schema:%s\n", credentials.login.c_str(), hidden.c_str(),
          credentials.database.c_str(), credentials.schema.c_str());
    print("%s\n",
          describe_connect_failure(state.session.diagnostics(), credentials.password).c_str());
    return kExitConnect;
  }
  print("Mit Datenbank verbunden! Schema: %s\n", credentials.schema.c_str());

  if (int status = check_terminal(state); status != kExitOk) return status;
  int cleared = clear_staging(state.session, state.parameters.path);
  if (cleared != 0) {
    print("Error Tab. Kvx999Tmp loeschen! ErrNr: %d User: %s", cleared,
          state.parameters.path.c_str());
    return kExitDatabase;
  }
  visit_schemas(state);
  // Without any client list the run cannot tell which records belong in the file; an empty file
  // would lock everybody out, so the previous one stays.
  if (state.visited == 0 && state.list_failed) {
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
