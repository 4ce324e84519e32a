#include "queries/display_texts.h"

#include "base/output.h"
#include "db/result_code.h"

namespace varnoklis {

const SqlText kTerminalDisplayLinesSql = {
    "SELECT  TsaLfd, COALESCE(TsaSpl, 1), SubString(FtxT50, 1, 12)  FROM  KvxCore.Kvx114Tsm, "
    "KvxCore.G2101SalLst, KvxCore.Kvx102Whl  WHERE TsmNam = '%s'    AND TsmSal = TsaSal  AND "
    "FtxNumSpr = 220001  AND FtxWhl = TsaAnz  AND FtxSpr = TsmSpr    AND ((TsmSta <> 4 AND "
    "TsmSta <> 8) OR TsmSta IS NULL)    AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL)  "
    "ORDER BY TsaSal, TsaLfd ",
    {}};
const SqlText kTerminalDisplayCodeSql = {
    " SELECT FTXT10   FROM KVXCORE.KVX114TSM, KVXCORE.G2101SALLST, KVXCORE.KVX102WHL   WHERE "
    "TSMNAM  = '%s'  AND  TSMSAL = TSASAL     AND FTXNUMSPR = 220002  AND  FTXWHL = TSAAUS     "
    "AND FTXSPR  = TSMSPR  AND  TSALFD = %ld  AND ((TsmSta <> 4 AND TsmSta <> 8) OR TsmSta IS "
    "NULL)     AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL) ",
    {}};
const SqlText kPersonDisplayLinesSql = {
    "SELECT  TsaLfd, COALESCE(TsaSpl, 1), SubString(FtxT50, 1, 12)  FROM  %s.Kvx300Pnr, "
    "KvxCore.G2101SalLst, KvxCore.Kvx102Whl  WHERE PnrNum = '%s'    AND PnrSal = TsaSal  AND "
    "FtxNumSpr = 220001  AND FtxWhl = TsaAnz  AND FtxSpr = PnrSpr    AND ((PnrSta <> 4 AND "
    "PnrSta <> 8) OR PnrSta IS NULL)    AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL)  "
    "ORDER BY TsaSal, TsaLfd ",
    {}};
const SqlText kPersonDisplayCodeSql = {
    " SELECT FTXT10  FROM %s.KVX300PNR, KVXCORE.G2101SALLST, KVXCORE.KVX102WHL  WHERE PNRNUM  = "
    "'%s'  AND  PNRSAL = TSASAL  AND FTXNUMSPR = 220002  AND  FTXWHL = TSAAUS  AND FTXSPR  = "
    "PNRSPR  AND  TSALFD = %ld  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)  AND "
    "((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL) ",
    {}};

namespace {

const Purpose kTerminalLines{"Anzeigetexte des Terminals lesen", true};
const Purpose kTerminalCodes{"Anzeigewerte des Terminals lesen", true};
const Purpose kPersonLines{"Anzeigetexte der Person lesen"};
const Purpose kPersonCodes{"Anzeigewerte der Person lesen"};
constexpr std::size_t kCaptionColumnWidth = 40;
constexpr std::size_t kCaptionWidth = kLabelWidth - 1;
constexpr std::size_t kCodeWidth = 10;
constexpr const char* kEmptyValue = "       ";

long fetch_code(const Statement& statement) {
  return statement.last_fetch_result();
}

// "%-12s ", but never wider: a caption cut by characters may still be longer in bytes, and a
// wider label would run into the value field of its display line.
void make_label(std::string_view caption, std::string& label) {
  label.assign(caption.substr(0, kCaptionWidth));
  label.resize(kCaptionWidth, ' ');
  label += ' ';
}

}  // namespace

void DisplayText::clear() {
  line = 0;
  shift = 0;
  label.clear();
  code.clear();
  value.clear();
}

void clear_table(DisplayTable& table) {
  for (DisplayText& entry : table) entry.clear();
}

bool store_line(DisplayTable& table, const DisplayText& entry) {
  if (entry.line < 1 || entry.line > static_cast<std::int32_t>(table.size())) return false;
  table[static_cast<std::size_t>(entry.line - 1)] = entry;
  return true;
}

int DisplayTexts::open_terminal(Session& session, std::string_view terminal) {
  return open(session, Source::Terminal, terminal, kTerminalDisplayLinesSql);
}

int DisplayTexts::open_person(Session& session, std::string_view person) {
  return open(session, Source::Person, person, kPersonDisplayLinesSql);
}

int DisplayTexts::open(Session& session, Source source, std::string_view key, const SqlText& sql) {
  session_ = &session;
  source_ = source;
  key_.assign(key);
  const Purpose& purpose = source == Source::Terminal ? kTerminalLines : kPersonLines;
  std::initializer_list<Column> columns = {long_column(), long_column(),
                                           text_column(kCaptionColumnWidth)};
  if (source == Source::Terminal) return cursor_.open(session, purpose, sql, {key_}, columns);
  return cursor_.open(session, purpose, sql, {session.schema(), key_}, columns);
}

int DisplayTexts::fetch(DisplayText& entry) {
  if (!cursor_.is_open()) return -1;
  Outcome outcome = cursor_.fetch();
  bool terminal = source_ == Source::Terminal;
  if (terminal) print("Fetch Sal_DspTxtVar_Read! RC:%ld!\n", fetch_code(cursor_.row()));
  if (outcome == Outcome::NoData) return terminal ? kNoData : -1;
  if (outcome == Outcome::Error) return -1;
  const Statement& row = cursor_.row();
  make_label(row.trimmed(3), entry.label);
  entry.line = row.integer(1);
  entry.shift = row.integer(2);
  entry.value.assign(kEmptyValue);
  return read_code(entry);
}

// Runs beside the open lines cursor: the connection carries two active statements here.
int DisplayTexts::read_code(DisplayText& entry) {
  Statement statement(*session_, source_ == Source::Terminal ? kTerminalCodes : kPersonCodes);
  if (!statement.allocated()) return -1;
  std::string line = std::to_string(entry.line);
  bool terminal = source_ == Source::Terminal;
  Outcome executed =
      terminal ? statement.execute(kTerminalDisplayCodeSql, {key_, line})
               : statement.execute(kPersonDisplayCodeSql, {session_->schema(), key_, line});
  if (executed == Outcome::Error) return error_code(session_->diagnostics());
  statement.bind({text_column(kCodeWidth)});
  Outcome outcome = statement.fetch();
  if (terminal) print("SQLFetch Saldenwerte! RC: %ld\n", fetch_code(statement));
  if (outcome == Outcome::NoData) return kNoData;
  if (outcome == Outcome::Error) return -1;
  entry.code.assign(statement.trimmed(1));
  return 0;
}

}  // namespace varnoklis
