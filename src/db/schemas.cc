#include "db/schemas.h"

#include "db/result_code.h"

namespace varnoklis {

const SqlText kLinkedSchemasSql = {
    "SELECT MndSch  FROM KvxCore.Kvx112Mnd, KvxCore.Kvx115Tfz  WHERE MndKon <> 1  AND   TfzTrm = "
    "'%s'  AND   MndLiz = TfzLiz  AND   MndNum = TfzMnd  AND ((MndSta <> 4 AND MndSta <> 8) OR "
    "MndSta IS NULL)  AND ((TfzSta <> 4 AND TfzSta <> 8) OR TfzSta IS NULL) ",
    {}};
const SqlText kAllSchemasSql = {
    "SELECT MndSch  FROM KvxCore.Kvx112Mnd  WHERE MndKon <> 1  AND ((MndSta <> 4 AND MndSta <> 8) "
    "OR MndSta IS NULL) ",
    {}};

namespace {

const Purpose kLinkedSchemas{"Mandanten des Terminals lesen"};
const Purpose kAllSchemas{"Mandanten lesen"};

}  // namespace

int SchemaList::open_linked(Session& session, std::string_view terminal) {
  return cursor_.open(session, kLinkedSchemas, kLinkedSchemasSql, {terminal},
                      {text_column(kSchemaCapacity)});
}

int SchemaList::open_all(Session& session) {
  return cursor_.open(session, kAllSchemas, kAllSchemasSql, {}, {text_column(kSchemaCapacity)});
}

int SchemaList::fetch(std::string& name) {
  for (;;) {
    switch (cursor_.fetch()) {
      case Outcome::Ok:
        // A client row without a schema name names no schema to visit.
        if (cursor_.row().is_null(1)) continue;
        name.assign(cursor_.row().trimmed(1));
        return 0;
      case Outcome::NoData:
        return kNoData;
      case Outcome::Error:
        return -1;
    }
  }
}

}  // namespace varnoklis
