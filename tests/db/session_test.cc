#include "db/session.h"

#include <gtest/gtest.h>

#include "db/statement.h"
#include "support/temp_store.h"

namespace varnoklis {
namespace {

using testing::TempStore;

TEST(Session, ConnectsToEmbeddedStoreAndReadsNullsAsEmpty) {
  TempStore store;
  store.sql("KVXCORE", "INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES ('12', NULL, NULL);");
  Session session;
  store.connect(session);
  Statement st(session);
  ASSERT_EQ(st.query_one("SELECT StoNum, StoKtx, StoSta FROM KvxCore.Kvx113Sto",
                         {text_column(8), text_column(3), long_column()}, ExecError::MinusOne),
            0);
  EXPECT_EQ(st.text(1), "12");
  EXPECT_EQ(st.text(2), "");
  EXPECT_TRUE(st.is_null(3));
  EXPECT_EQ(st.integer(3), 0);
}

}  // namespace
}  // namespace varnoklis
