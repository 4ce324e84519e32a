#include "run/setup.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "base/output.h"
#include "builders/builder.h"
#include "config/config_file.h"
#include "config/keys.h"
#include "db/result_code.h"
#include "db/schemas.h"
#include "db/terminal_check.h"
#include "db/text.h"

namespace varnoklis {

// The stored SCHEMA value is one character longer than the schema it names.
static_assert(config::key_capacity("SCHEMA") == kSchemaCapacity + 1);

// A secret value is shown as asterisks, as in the connect failure message.
bool fits(const char* name, const std::string& value, std::size_t capacity, bool secret) {
  if (value.size() <= capacity) return true;
  std::string shown = secret ? std::string(value.size(), '*') : value;
  print("%s zu lang (max. %zu Zeichen): %s\n", name, capacity, shown.c_str());
  return false;
}

bool known_keyword(std::string& keyword) {
  upper_case(keyword);
  if (find_builder(keyword) != nullptr) return true;
  print("Unbekannte DNL-Funktion: %s\n", keyword.c_str());
  return false;
}

namespace {

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

// A schema name qualifies the client tables in the statement texts, so it may hold only
// letters, digits and underscores: nothing in it can change a statement.
bool plain_schema_name(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

void visit_schema(Session& session, std::string name, Visits& visits, const VisitSchema& visit) {
  upper_case(name);
  if (name == "DBO") name = "KELVANIRO";
  print("Schema: %s\n", from_database(name).c_str());
  ++visits.visited;
  if (!plain_schema_name(name)) {
    print("Schemaname %s ungueltig!\n", from_database(name).c_str());
    visits.records_missing = true;
    visit(name, false);
    return;
  }
  int switched = session.switch_schema(name);
  if (switched != 0) {
    print(switched == kSchemaFileMissing ? "Mandantendatei %s.db nicht gefunden!\n"
                                         : "Mandantendatei %s.db konnte nicht angebunden werden!\n",
          from_database(name).c_str());
    visits.records_missing = true;
  }
  visit(name, switched == 0);
}

// Visits every schema of an opened list; false when the list could not be read to its end.
bool visit_list(Session& session, SchemaList& list, int opened, Visits& visits,
                const VisitSchema& visit) {
  if (opened != 0) return false;
  std::string name;
  int fetched = 0;
  while ((fetched = list.fetch(name)) == 0) visit_schema(session, name, visits, visit);
  list.close();
  return fetched == kNoData;
}

}  // namespace

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

// A session that already holds working connections for these credentials keeps them; the run
// reads and reports as if it had just connected.
bool connect_database(Session& session, const Credentials& credentials) {
  int connected = 0;
  if (!session.connected_as(credentials.database, credentials.login, credentials.password)) {
    connected = session.connect(credentials.database, credentials.login, credentials.password);
  }
  if (connected != 0) {
    print("DB-Connect-Error: %d!", connected);
    std::string hidden(credentials.password.size(), '*');
    print("Name:%s Pwd:%s Net:%s Schema:%s\n", credentials.login.c_str(), hidden.c_str(),
          credentials.database.c_str(), credentials.schema.c_str());
    print("%s\n", describe_connect_failure(session.diagnostics(), credentials.password).c_str());
    return false;
  }
  print("Mit Datenbank verbunden! Schema: %s\n", credentials.schema.c_str());
  return true;
}

// A terminal no table knows would get a file that refuses every badge: a mistyped name stops
// the run before anything is cleared.
int check_terminal(Session& session, const std::string& terminal) {
  int known = terminal_known(session, terminal);
  if (known == 0) print("Terminal %s unbekannt!\n", terminal.c_str());
  return known == 0 || known == 1 ? known : -1;
}

// Every active client is visited only when the terminal's own list visited none, also when
// that list failed.
void visit_schemas(Session& session, std::string_view terminal, Visits& visits,
                   const VisitSchema& visit) {
  SchemaList list;
  if (!visit_list(session, list, list.open_linked(session, terminal), visits, visit)) {
    visits.list_failed = true;
  }
  if (visits.visited > 0) return;
  if (!visit_list(session, list, list.open_all(session), visits, visit)) visits.list_failed = true;
}

}  // namespace varnoklis
