// The steps every program that reads the master data takes as a run does: the configuration's
// credentials, the connect, the terminal check and the visit of the terminal's client schemas.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "db/session.h"

namespace varnoklis {

/// The credentials of the configuration file.
struct Credentials {
  std::string login;
  std::string password;
  std::string database;
  std::string schema;  ///< upper case, without the stored extra character
};

/// The longest keyword and terminal a run, a job or an explanation accepts.
inline constexpr std::size_t kKeywordCapacity = 19;
inline constexpr std::size_t kTerminalCapacity = 11;

/// Whether `value` fits `capacity` characters; else prints that the named value is too long (a
/// `secret` one as asterisks).
bool fits(const char* name, const std::string& value, std::size_t capacity, bool secret = false);

/// Puts `keyword` in upper case; whether a builder serves it, else prints that it is unknown.
bool known_keyword(std::string& keyword);

/// The configuration file: the one VARNOKLIS_CONFIG names, else the fixed relative path.
const char* config_path();

/// Reads the credentials, printing why a value is missing or unusable; false when one is
/// unusable (the run then ends with the connect status).
bool read_credentials(Credentials& credentials);

/// Connects `session` unless it already holds working connections for `credentials`; prints the
/// connect message, or the connect-failure lines and returns false.
bool connect_database(Session& session, const Credentials& credentials);

/// 1 when a table knows `terminal`, 0 when none does (reported), -1 when the check failed.
int check_terminal(Session& session, const std::string& terminal);

/// What a visit of the client schemas found.
struct Visits {
  int visited = 0;               ///< schemas listed, usable or not
  bool records_missing = false;  ///< a listed schema could not be used
  bool list_failed = false;      ///< a schema list could not be read to its end
};

/// Called for each listed schema: its name as the statements qualify tables with it, and whether
/// the session switched to it (else it was reported and nothing can be read from it).
using VisitSchema = std::function<void(const std::string& name, bool usable)>;

/// Visits the schemas linked to `terminal`, or every active one when none is linked, as a run
/// does, printing each schema's name line.
void visit_schemas(Session& session, std::string_view terminal, Visits& visits,
                   const VisitSchema& visit);

}  // namespace varnoklis
