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

// Two clients served by terminal T01, whose readers 1 and 2 guard zones Z1 and Z2. Class 5 may
// pass Z2; class 3 has a type-3 authorization at Z1, so it may not book time there.
void two_client_store(TempStore& store) {
  store.add_client("MANDANT1");
  store.add_client("MANDANT2");
  store.sql("KVXCORE",
            "INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum, MndSta) VALUES "
            "('MANDANT1', 0, 1, 1, NULL), ('MANDANT2', 0, 1, 2, NULL);\n"
            "INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES "
            "('T01', 1, 1, NULL), ('T01', 1, 2, NULL);\n"
            "INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES "
            "('T01', 1, 'Z1', NULL), ('T01', 2, 'Z2', NULL);\n"
            "INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES "
            "('5', 'Z2', 1, NULL), ('3', 'Z1', 3, NULL);\n"
            "INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAtp, "
            "AswLiz, AswMnd, AswSta) VALUES "
            "('1001', '2020-01-15', '2099-12-31', 'P1', '5', 'G5', 2, 1, 1, NULL), "
            "('1002', NULL, '2099-12-31 10:00:00', 'P2', '0', 'GX', NULL, 1, 1, 0), "
            "('1003', '2020-01-15', NULL, 'P3', '0', 'GA', 1, 1, 1, NULL), "
            "('1004', '2020-01-15', NULL, 'P4', '5', 'G5', 3, 1, 1, 8), "
            "('Q\"1', '2020-01-15', NULL, 'P\"5', '5', 'G5', 4, 1, 1, NULL), "
            "('O''1', '2020-01-15', NULL, 'P''6', '5', 'G5', 5, 1, 1, NULL), "
            "('2001', '2020-01-15', NULL, 'P1', '5', 'G5', 6, 1, 2, NULL), "
            "('2002', '2020-01-15', '2020-12-31', 'P1', '5', 'G5', 6, 1, 2, NULL);\n"
            "INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES "
            "('1001', '12', NULL), ('1002', '100000', NULL), ('1003', '1', NULL), "
            "('1003', '2', NULL), ('1004', '1', NULL), ('Q\"1', '3', NULL), ('O''1', '4', NULL), "
            "('2001', NULL, NULL), ('2002', '1', NULL);");
  store.sql("MANDANT1",
            "INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal, PnrSta) VALUES "
            "('P1', 1, 'SAL1', NULL), ('P2', 2, 'SAL2', 4), ('P3', 3, 'SAL3  ', NULL), "
            "('P\"5', 5, 'S\"5', NULL), ('P''6', 6, 'S''6', NULL);\n"
            "INSERT INTO Kvx408Bzu (BzuZau, BzuGvo, BzuGbi, BzuBkl) VALUES "
            "('GA', '2021-02-01', NULL, '3');");
}

TEST(IdstammFile, TwoClientsWholeFileAndOutput) {
  TempStore store;
  two_client_store(store);
  Workplace work(store);
  std::string path = work.file("ids.dat");
  auto result = work.run({"IDSTAMM", "T01", path, "1"});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.output,
            "Mit Datenbank verbunden! Schema: KELVANIRO\n"
            "Schema: MANDANT1\n"
            "Ausweise gesamt: 6 davon in Datei gestellt: 6\n"
            "Schema: MANDANT2\n"
            "Ausweise gesamt: 1 davon in Datei gestellt: 1\n");
  EXPECT_EQ(read_file(path),
            "\"1001\",\"20200115\",\"20991231\",\"00012\",\"1\",\"1\",\"1\",\"SAL1\",\"001\","
            "\"5  \",\"\",\"P1\",\"2\"\r\n"
            "\"1002\",\"\",\"20991231\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"P2\","
            "\"0\"\r\n"
            "\"1003\",\"20210201\",\"\",\"00001\",\"0\",\"1\",\"3\",\"SAL3\",\"001\",\"3  \","
            "\"\",\"P3\",\"1\"\r\n"
            "\"1003\",\"20210201\",\"\",\"00002\",\"0\",\"1\",\"3\",\"SAL3\",\"001\",\"3  \","
            "\"\",\"P3\",\"1\"\r\n"
            "\"2001\",\"20200115\",\"\",\"\",\"1\",\"1\",\"\",\"\",\"001\",\"5  \",\"\",\"P1\","
            "\"6\"\r\n"
            "\"O'1\",\"20200115\",\"\",\"00004\",\"1\",\"1\",\"6\",\"S'6\",\"001\",\"5  \",\"\","
            "\"P'6\",\"5\"\r\n"
            "\"Q\"\"1\",\"20200115\",\"\",\"00003\",\"1\",\"1\",\"5\",\"S\"\"5\",\"001\",\"5  \","
            "\"\",\"P\"\"5\",\"4\"\r\n");
}

}  // namespace
}  // namespace varnoklis
