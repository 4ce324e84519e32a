#include "builders/builder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "base/exit_status.h"
#include "builders/builder_store.h"
#include "support/e2e.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::seed_two_clients;
using testing::TempStore;
using testing::Workplace;

// A record and the lines its builder prints for the display texts before reading the badges.
struct Keyword {
  const char* keyword;
  std::string display_progress;
};

void PrintTo(const Keyword& keyword, std::ostream* out) {
  *out << keyword.keyword;
}

const std::string kLineRead = "Fetch Sal_DspTxtVar_Read! RC:0!\nSQLFetch Saldenwerte! RC: 0\n";

std::string eight_lines_read() {
  std::string lines;
  for (int line = 1; line <= 8; ++line) lines += kLineRead;
  return lines + "Fetch Sal_DspTxtVar_Read! RC:100!\n";
}

class EveryKeyword : public ::testing::TestWithParam<Keyword> {};

// A badge query that cannot run leaves the file without the clients' badges: the run says so
// by its exit status, whichever record it builds.
TEST_P(EveryKeyword, ABadgeCursorThatCannotOpenMarksRecordsMissing) {
  TempStore store;
  seed_two_clients(store);
  store.sql("KVXCORE", "DROP TABLE Kvx301Asw;");
  Workplace work(store);
  std::string path = work.file("t01.dat");
  auto result = work.run({GetParam().keyword, "T01", path, "1"});
  EXPECT_EQ(result.status, kExitRecordsMissing);
  const std::string failed = GetParam().display_progress +
                             "DB-Fehler Ausweise lesen! ErrNr: 1 SQLSTATE: HY000\n"
                             "Ausweise gesamt: 0 davon in Datei gestellt: 0\n";
  EXPECT_EQ(result.output, "Mit Datenbank verbunden! Schema: KELVANIRO\nSchema: MANDANT1\n" +
                               failed + "Schema: MANDANT2\n" + failed);
  EXPECT_EQ(read_file(path), "");
}

INSTANTIATE_TEST_SUITE_P(Builders, EveryKeyword,
                         ::testing::Values(Keyword{"QZDNL17P", ""},
                                           Keyword{"QZDNL18P", eight_lines_read()},
                                           Keyword{"QZDNL31P", ""}, Keyword{"QZDNL60P", kLineRead},
                                           Keyword{"IDSTAMM", ""}),
                         [](const auto& test) { return std::string(test.param.keyword); });

}  // namespace
}  // namespace varnoklis
