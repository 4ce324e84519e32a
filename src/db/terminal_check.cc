#include "db/terminal_check.h"

#include "db/statement.h"

namespace varnoklis {

// Any row counts, also an inactive one: a terminal taken out of service is still a terminal,
// and its file is built as before. Only a name no table knows is a mistake of the caller.
const SqlText kTerminalKnownSql = {
    "SELECT CASE WHEN EXISTS (SELECT 1 FROM KvxCore.Kvx114Tsm WHERE TsmNam = '%s')  OR "
    "EXISTS (SELECT 1 FROM KvxCore.Kvx401Zls WHERE ZlsTrm = '%s')  OR "
    "EXISTS (SELECT 1 FROM KvxCore.Kvx115Tfz WHERE TfzTrm = '%s')  THEN 1 ELSE 0 END ",
    {}};

namespace {

const Purpose kCheckingTerminal{"Terminal pruefen"};

}  // namespace

int terminal_known(Session& session, std::string_view terminal) {
  Statement statement(session, kCheckingTerminal);
  int result = statement.query_one(kTerminalKnownSql, {terminal, terminal, terminal},
                                   {long_column()}, ExecError::MinusOne);
  if (result != 0) return -1;
  return statement.integer(1) != 0 ? 1 : 0;
}

}  // namespace varnoklis
