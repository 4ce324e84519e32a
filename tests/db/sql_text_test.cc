#include "db/sql_text.h"

#include <gtest/gtest.h>

#include "db/schemas.h"
#include "db/staging.h"
#include "db/terminal_check.h"

namespace varnoklis {
namespace {

TEST(SqlText, FillDoublesQuotesAndLeavesOtherPercentSignsAlone) {
  EXPECT_EQ(fill("a = '%s' AND b <= %ld AND c = '%s'", {"x'OR'1'='1", "11", "%s%n"}),
            "a = 'x''OR''1''=''1' AND b <= 11 AND c = '%s%n'");
  EXPECT_EQ(fill("strftime('%Y%m%d', x) = '%s'", {"20261208"}),
            "strftime('%Y%m%d', x) = '20261208'");
  EXPECT_EQ(fill("'%s' '%s'", {"only"}), "'only' '%s'");
}

TEST(SqlText, SpineStatementsAreTheSqlServerTextsByteForByte) {
  const Dialect d = Dialect::SqlServer;
  EXPECT_EQ(fill(kClearStagingSql, d, {"C:\\dnl\\t01.dat"}),
            " DELETE FROM  KvxCore.Kvx999Tmp    WHERE TmpUsr = 'C:\\dnl\\t01.dat' ");
  EXPECT_EQ(
      fill(kStageRecordSql, d, {"/x/o'k", "REC 1"}),
      " INSERT INTO KvxCore.Kvx999Tmp    ( TmpUsr, TmpStr)    VALUES ('/x/o''k', 'REC 1'  ) ");
  EXPECT_EQ(fill(kReadBackSql, d, {"p"}),
            "SELECT TmpStr  FROM  KVXCore.Kvx999Tmp  WHERE TmpUsr = 'p'  ORDER BY TmpUsr, TmpStr ");
  EXPECT_EQ(fill(kLinkedSchemasSql, d, {"T01"}),
            "SELECT MndSch  FROM KvxCore.Kvx112Mnd, KvxCore.Kvx115Tfz  WHERE MndKon <> 1  AND   "
            "TfzTrm = 'T01'  AND   MndLiz = TfzLiz  AND   MndNum = TfzMnd  AND ((MndSta <> 4 AND "
            "MndSta <> 8) OR MndSta IS NULL)  AND ((TfzSta <> 4 AND TfzSta <> 8) OR TfzSta IS "
            "NULL) ");
  EXPECT_EQ(fill(kTerminalKnownSql, d, {"T01", "T01", "T01"}),
            "SELECT CASE WHEN EXISTS (SELECT 1 FROM KvxCore.Kvx114Tsm WHERE TsmNam = 'T01')  OR "
            "EXISTS (SELECT 1 FROM KvxCore.Kvx401Zls WHERE ZlsTrm = 'T01')  OR EXISTS (SELECT 1 "
            "FROM KvxCore.Kvx115Tfz WHERE TfzTrm = 'T01')  THEN 1 ELSE 0 END ");
  EXPECT_EQ(fill(kAllSchemasSql, d, {}),
            "SELECT MndSch  FROM KvxCore.Kvx112Mnd  WHERE MndKon <> 1  AND ((MndSta <> 4 AND "
            "MndSta <> 8) OR MndSta IS NULL) ");
}

}  // namespace
}  // namespace varnoklis
