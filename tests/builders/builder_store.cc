#include "builders/builder_store.h"

#include <sstream>

namespace varnoklis::testing {

void seed_two_clients(const TempStore& store) {
  std::string year = local_date().substr(0, 4);
  store.sql("KVXCORE",
            "INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum) VALUES "
            "('MANDANT1', 0, 1, 1), ('MANDANT2', 0, 1, 2);"
            "INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T01', 1, 1), ('T01', 1, 2);"
            "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES "
            "('T01', 1, 'Z1'), ('T01', 2, 'Z2'), ('T01', 5, 'Z5');"
            "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('12', 'Z5', 1), ('0', 'Z1', 3);"
            "INSERT INTO Kvx114Tsm (TsmNam, TsmTyp, TsmSal, TsmSpr) VALUES "
            "('T01', '7700-000', 'S1', 1);"
            "INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus) VALUES "
            "('S1', 1, 1, 1, 1), ('S1', 2, 1, 2, 2), ('S1', 3, 1, 3, 3), ('S1', 4, 2, 4, 4),"
            "('S1', 5, 2, 5, 5), ('S1', 6, 1, 6, 6), ('S1', 7, 1, 7, 2), ('S1', 8, NULL, 8, 8);"
            "INSERT INTO Kvx102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FtxT10) VALUES "
            "(220001, 1, 1, 'Saldo', NULL), (220001, 2, 1, 'Datum', NULL),"
            "(220001, 3, 1, 'Urlaub Rest', NULL), (220001, 4, 1, 'Anspruch', NULL),"
            "(220001, 5, 1, 'Gleitzeit', NULL), (220001, 6, 1, 'Resturlaub', NULL),"
            "(220001, 7, 1, 'Zweites Dat', NULL), (220001, 8, 1, 'Unbekannt', NULL),"
            "(220002, 1, 1, NULL, '#W2'), (220002, 2, 1, NULL, '#W1'), (220002, 3, 1, NULL, '#W4'),"
            "(220002, 4, 1, NULL, '#W8'), (220002, 5, 1, NULL, '#W15'),"
            "(220002, 6, 1, NULL, '#W7'), (220002, 8, 1, NULL, '#X9');"
            "INSERT INTO Kvx113Sto (StoNum, StoKtx) VALUES ('L1', 'Haupttor');"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto) VALUES ('A1', 'L1'), ('A12345678901234', 'L1'),"
            "('A2', 'L9'), ('A4', 'L1'), ('A5', 'L1'), ('A6', 'L1'), ('A6', 'L9');"
            "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswLiz, AswMnd) VALUES "
            "('A1', '" +
                local_date(-30) +
                "', NULL, 'P1', '12', 1, 1),"
                "('A12345678901234', '" +
                local_date(-30) +
                "', NULL, 'P1', '12', 1, 1),"
                "('A2', NULL, '" +
                local_date(30) +
                "', 'P2', '3', 1, 1),"
                "('A4', '" +
                local_date(-10) + "', '" + local_date(10) +
                "', 'P4', '0', 1, 1),"
                "('A5', '" +
                local_date(-5) +
                "', NULL, NULL, '12', 1, 1),"
                "('A6', '" +
                local_date(-1) +
                "', NULL, 'P1', '3', 1, 1),"
                "('A1', '" +
                local_date(-3) + "', NULL, 'Q1', '12', 1, 2);");
  store.add_client("MANDANT1");
  store.sql("MANDANT1",
            "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal) VALUES "
            "('P1', 1, NULL), ('P2', 1, NULL), ('P4', 1, NULL);"
            "INSERT INTO Kvx320Tgb (TgbPnr, TgbZtr, TgbDtm, TgbVt1, TgbSa1, TgbVt2, TgbVt3) "
            "VALUES ('P1', 1, '" +
                local_date(-1) +
                "', 60, 30, -30, 700);"
                "INSERT INTO Kvx332Urv (UrvPnr, UrvJhr, UrvGur, UrvVjr) VALUES "
                "('P1', " +
                year +
                ", 30, 4.5);"
                "INSERT INTO Kvx332Utg (UtgPnr, UtgDtm, UtgVtg, UtgRtg, UtgGut) VALUES "
                "('P1', '" +
                local_date() + "', 3, 22.5, 0);");
  store.add_client("MANDANT2");
  store.sql("MANDANT2",
            "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr) VALUES ('Q1', 1);"
            "INSERT INTO Kvx320Tgb (TgbPnr, TgbZtr, TgbDtm, TgbVt1) VALUES "
            "('Q1', 1, '" +
                local_date(-1) + "', 61000);");
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> staged(const TempStore& store, std::string_view path) {
  return lines_of(store.query("KVXCORE", "SELECT TmpStr FROM Kvx999Tmp WHERE TmpUsr = '" +
                                             std::string(path) + "' ORDER BY TmpStr;"));
}

std::string pad(std::string_view text, std::size_t width) {
  std::string out(text);
  out.resize(width, ' ');
  return out;
}

void BuilderStore::SetUp() {
  seed_two_clients(store_);
  seed();
  connect(session_);
}

void BuilderStore::connect(Session& session) {
  store_.connect(session);
  ASSERT_EQ(session.switch_schema("MANDANT1"), 0);
}

std::string BuilderStore::build(const std::string& terminal, Session* session) {
  store_.sql("KVXCORE", "DELETE FROM Kvx999Tmp;");
  ::testing::internal::CaptureStdout();
  counts_ = function_(session ? *session : session_, "p", terminal, "MANDANT1");
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace varnoklis::testing
