#include <gtest/gtest.h>

#include <string>

#include "base/exit_status.h"
#include "support/e2e.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::read_file;
using testing::TempStore;
using testing::Workplace;

// Two clients served by terminal T01, whose readers 1 and 2 guard zones Z1 and Z2. Classes 5
// and 5555 may pass Z2; class 3 has a type-3 authorization at Z1; class 9 passes nowhere.
void two_client_store(TempStore& store) {
  store.add_client("MANDANT1");
  store.add_client("MANDANT2");
  store.sql("KVXCORE",
            "INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum, MndSta) VALUES "
            "('MANDANT1', 0, 1, 1, NULL), ('MANDANT2', 0, 1, 2, NULL);\n"
            "INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES "
            "('T01', 1, 1, NULL), ('T01', 1, 2, NULL);\n"
            "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES "
            "('T01', 1, 'Z1', NULL), ('T01', 2, 'Z2', NULL), ('T01', 40, 'Z9', NULL);\n"
            "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES "
            "('5', 'Z2', 1, NULL), ('5555', 'Z2', 1, NULL), ('3', 'Z1', 3, NULL), "
            "('7', 'Z2', 1, NULL), ('9', 'Z9', 1, NULL), ('0', 'Z2', 1, NULL);\n"
            "INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES "
            "('12', 'HALLE', NULL), ('1', 'NO', NULL), ('2', 'WE', NULL);\n"
            "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAtp, "
            "AswLiz, AswMnd, AswSta) VALUES "
            "('1001', '2020-01-15', '2099-12-31', 'P1', '5', 'G5', 2, 1, 1, NULL), "
            "('1002', '2020-01-15', NULL, 'P2', '0', 'GX', 1, 1, 1, NULL), "
            "('1003', NULL, '2099-12-31', 'P3', '0', 'GA', 1, 1, 1, NULL), "
            "('1004', '2020-01-15', NULL, 'P4', '0', 'GX', 1, 1, 1, NULL), "
            "('1005', '2020-01-15', NULL, 'P5', '9', 'GX', 1, 1, 1, NULL), "
            "('1006', '2020-01-15', NULL, 'P6', '5555', 'GX', 1, 1, 1, NULL), "
            "('12345678901234', '2020-01-15', NULL, 'P7', '5', 'GX', 1, 1, 1, NULL), "
            "('1234567890123', NULL, '2099-12-31', 'P7', '5', 'GX', 1, 1, 1, NULL), "
            "('O''1', '2020-01-15', NULL, 'P8', '5', 'GX', 1, 1, 1, NULL), "
            "('2001', '2020-01-15', NULL, 'P1', '5', 'G5', 6, 1, 2, NULL), "
            "('2002', '2020-01-15', NULL, 'P2', '0', 'GA', 6, 1, 2, NULL);\n"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES "
            "('1001', '12', NULL), ('1002', '1', NULL), ('1003', '1', NULL), ('1003', '2', 0), "
            "('1004', '77', NULL), ('1005', '1', NULL), ('1006', '1', NULL), "
            "('12345678901234', '1', NULL), ('1234567890123', '12', NULL), ('O''1', '2', NULL), "
            "('2001', '2', NULL), ('2002', '2', NULL);");
  store.sql("MANDANT1",
            "INSERT INTO Kvx408Bzu (BzuZau, BzuAkr, BzuGvo, BzuGbi, BzuBkl) VALUES "
            "('GA', NULL, '2021-02-01', NULL, '3'), (NULL, 'R4', '2022-03-01', '2098-01-31', "
            "'7');\n"
            "INSERT INTO Kvx310Bsv (BsvPnr, BsvAkr, BsvGvo) VALUES ('P4', 'R4', '2020-01-01');");
}

TEST(Qzdnl31pFile, TwoClientsWholeFileAndOutput) {
  TempStore store;
  two_client_store(store);
  Workplace work(store);
  std::string path = work.file("q31.dat");
  auto result = work.run({"QZDNL31P", "T01", path, "1"});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "Schema: MANDANT1\n"
            "Ausweis 1002 ohne g\xfcltige Berechtigungsklasse\n"
            "Ausweis 1005 ohne Zutrittsberechtigung auf Terminal T01\n"
            "Ausweis 1006 passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 Zeichen)\n"
            "Ausweis 12345678901234 passt nicht in den Satz (Ausweis max. 13, Klasse max. 3 "
            "Zeichen)\n"
            "Ausweise gesamt: 10 davon in Datei gestellt: 6\n"
            "Schema: MANDANT2\n"
            "Ausweis 2002 ohne g\xfcltige Berechtigungsklasse\n"
            "Ausweise gesamt: 2 davon in Datei gestellt: 1\n");
  // 48 characters per record, back to back.
  EXPECT_EQ(read_file(path),
            "1001         202001152099123111XXXX,XX-0015  HAL"
            "1003         202102010000000001XXXX,XX-0013  NO "
            "1003         202102010000000001XXXX,XX-0013  NO "
            "1004         202203012098013111XXXX,XX-0017     "
            "1234567890123000000002099123111XXXX,XX-0015  HAL"
            "2001         202001150000000011XXXX,XX-0015  WE "
            "O'1          202001150000000011XXXX,XX-0015  WE ");
}

}  // namespace
}  // namespace varnoklis
