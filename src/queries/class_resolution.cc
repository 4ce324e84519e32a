#include "queries/class_resolution.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "db/statement.h"
#include "queries/badge_cursor.h"

namespace varnoklis {

// clang-format off
const SqlText kClassByGroupSql = {
    "SELECT  BzuZau,CONVERT(char(8), BzuGvo,112), CONVERT(char(8),BzuGbi,112),  BzuBkl"
    "  FROM  %s.Kvx408Bzu"
    "  WHERE BzuZau = '%s'"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi))"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ",
    "SELECT  BzuZau,strftime('%Y%m%d',BzuGvo), strftime('%Y%m%d',BzuGbi),  BzuBkl"
    "  FROM  %s.Kvx408Bzu"
    "  WHERE BzuZau = '%s'"
    "  AND(   (date('now','localtime') >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (date('now','localtime') <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (date('now','localtime') >= BzuGvo"
    "       AND date('now','localtime') <= BzuGbi))"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) "};

const SqlText kClassByCostCentreSql = {
    "SELECT  ZuoKst,CONVERT(char(8), BzuGvo,112), CONVERT(char(8),BzuGbi,112),  BzuBkl"
    "  FROM  %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoKst = BzuKst"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi))"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi))"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ",
    "SELECT  ZuoKst,strftime('%Y%m%d',BzuGvo), strftime('%Y%m%d',BzuGbi),  BzuBkl"
    "  FROM  %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoKst = BzuKst"
    "  AND(   (date('now','localtime') >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (date('now','localtime') <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (date('now','localtime') >= ZuoGvo"
    "       AND date('now','localtime') <= ZuoGbi))"
    "  AND(   (date('now','localtime') >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (date('now','localtime') <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (date('now','localtime') >= BzuGvo"
    "       AND date('now','localtime') <= BzuGbi))"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) "};

const SqlText kClassByCostCentreTableSql = {
    "SELECT  CONVERT(char(8), BzuGvo,112), CONVERT(char(8),BzuGbi,112),  BzuBkl"
    "  FROM  %s.O1003Kststelle, %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoKst = KstNum"
    "  AND KstVws = BzuVks"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi))"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi))"
    "  AND ((KstSta <> 4 AND KstSta <> 8) OR KstSta IS NULL)"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ",
    "SELECT  strftime('%Y%m%d',BzuGvo), strftime('%Y%m%d',BzuGbi),  BzuBkl"
    "  FROM  %s.O1003Kststelle, %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoKst = KstNum"
    "  AND KstVws = BzuVks"
    "  AND(   (date('now','localtime') >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (date('now','localtime') <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (date('now','localtime') >= ZuoGvo"
    "       AND date('now','localtime') <= ZuoGbi))"
    "  AND(   (date('now','localtime') >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (date('now','localtime') <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (date('now','localtime') >= BzuGvo"
    "       AND date('now','localtime') <= BzuGbi))"
    "  AND ((KstSta <> 4 AND KstSta <> 8) OR KstSta IS NULL)"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) "};

const SqlText kClassByDepartmentSql = {
    "SELECT  ZuoAbt,CONVERT(char(8), BzuGvo,112), CONVERT(char(8),BzuGbi,112),  BzuBkl"
    "  FROM  %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoAbt = BzuAbt"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi))"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi))"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ",
    "SELECT  ZuoAbt,strftime('%Y%m%d',BzuGvo), strftime('%Y%m%d',BzuGbi),  BzuBkl"
    "  FROM  %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoAbt = BzuAbt"
    "  AND(   (date('now','localtime') >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (date('now','localtime') <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (date('now','localtime') >= ZuoGvo"
    "       AND date('now','localtime') <= ZuoGbi))"
    "  AND(   (date('now','localtime') >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (date('now','localtime') <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (date('now','localtime') >= BzuGvo"
    "       AND date('now','localtime') <= BzuGbi))"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) "};

const SqlText kClassByDepartmentListSql = {
    "SELECT  CONVERT(char(8), BzuGvo,112), CONVERT(char(8),BzuGbi,112),  BzuBkl"
    "  FROM  %s.G2202AbtLst, %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoAbt = AblAbt"
    "  AND AblVab = BzuVab"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= ZuoGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= ZuoGbi))"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi))"
    "  AND ((AblSta <> 4 AND AblSta <> 8) OR AblSta IS NULL)"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ",
    "SELECT  strftime('%Y%m%d',BzuGvo), strftime('%Y%m%d',BzuGbi),  BzuBkl"
    "  FROM  %s.G2202AbtLst, %s.Kvx311Zuo, %s.Kvx408Bzu"
    "  WHERE ZuoPnr = '%s'"
    "  AND ZuoAbt = AblAbt"
    "  AND AblVab = BzuVab"
    "  AND(   (date('now','localtime') >= ZuoGvo AND ZuoGbi IS NULL)"
    "   OR (date('now','localtime') <= ZuoGbi AND ZuoGvo IS NULL)"
    "   OR (date('now','localtime') >= ZuoGvo"
    "       AND date('now','localtime') <= ZuoGbi))"
    "  AND(   (date('now','localtime') >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (date('now','localtime') <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (date('now','localtime') >= BzuGvo"
    "       AND date('now','localtime') <= BzuGbi))"
    "  AND ((AblSta <> 4 AND AblSta <> 8) OR AblSta IS NULL)"
    "  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) "};

const SqlText kClassByPersonEntriesSql = {
    "SELECT  CONVERT(char(8), BzuGvo,112), CONVERT(char(8),BzuGbi,112),  BzuBkl"
    "  FROM  %s.Kvx310Bsv, %s.Kvx408Bzu"
    "  WHERE BsvPnr = '%s'"
    "  AND BsvAkr = BzuAkr"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BsvGvo AND BsvGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BsvGbi AND BsvGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BsvGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BsvGbi))"
    "  AND(   (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= BzuGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= BzuGbi))"
    "  AND ((BsvSta <> 4 AND BsvSta <> 8) OR BsvSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ",
    "SELECT  strftime('%Y%m%d',BzuGvo), strftime('%Y%m%d',BzuGbi),  BzuBkl"
    "  FROM  %s.Kvx310Bsv, %s.Kvx408Bzu"
    "  WHERE BsvPnr = '%s'"
    "  AND BsvAkr = BzuAkr"
    "  AND(   (date('now','localtime') >= BsvGvo AND BsvGbi IS NULL)"
    "   OR (date('now','localtime') <= BsvGbi AND BsvGvo IS NULL)"
    "   OR (date('now','localtime') >= BsvGvo"
    "       AND date('now','localtime') <= BsvGbi))"
    "  AND(   (date('now','localtime') >= BzuGvo AND BzuGbi IS NULL)"
    "   OR (date('now','localtime') <= BzuGbi AND BzuGvo IS NULL)"
    "   OR (date('now','localtime') >= BzuGvo"
    "       AND date('now','localtime') <= BzuGbi))"
    "  AND ((BsvSta <> 4 AND BsvSta <> 8) OR BsvSta IS NULL)"
    "  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) "};

// clang-format on

namespace {

constexpr std::size_t kDateWidth = 14;
constexpr std::size_t kClassWidth = 5;

// How one stage reads and where its leading column goes.
struct Stage {
  const SqlText& sql;
  Purpose purpose;
  int client_tables;                           // tables the statement qualifies with the schema
  std::size_t lead_width = 0;                  // 0: the statement selects no leading column
  std::string BadgeRow::*lead_slot = nullptr;  // where the leading column goes, or nullptr
  bool pad_class = true;                       // "%-3s"; otherwise the class goes in bare
};

int run_stage(Session& session, BadgeRow& row, const Stage& stage, std::string_view key) {
  Statement statement(session, stage.purpose);
  // The schema qualifies each client table the statement names; the key comes last.
  const std::string& schema = session.schema();
  std::array<std::string_view, 4> filled{schema, schema, schema, schema};
  filled[static_cast<std::size_t>(stage.client_tables)] = key;
  Values values(filled.data(), static_cast<std::size_t>(stage.client_tables) + 1);
  int rc = stage.lead_width == 0
               ? statement.query_one(
                     stage.sql, values,
                     {text_column(kDateWidth), text_column(kDateWidth), text_column(kClassWidth)},
                     ExecError::MinusOne)
               : statement.query_one(stage.sql, values,
                                     {text_column(stage.lead_width), text_column(kDateWidth),
                                      text_column(kDateWidth), text_column(kClassWidth)},
                                     ExecError::MinusOne);
  if (rc != 0) return rc;
  int first = stage.lead_width == 0 ? 1 : 2;
  if (stage.lead_slot != nullptr) (row.*stage.lead_slot).assign(statement.trimmed(1));
  row.valid_from.assign(statement.trimmed(first));
  row.valid_to.assign(statement.trimmed(first + 1));
  if (stage.pad_class) {
    put_class(row.class_code, statement.trimmed(first + 2));
  } else {
    row.class_code.assign(statement.trimmed(first + 2));
  }
  return 0;
}

const Stage kByGroup{
    .sql = kClassByGroupSql,
    .purpose = {.what = "Klasse der Ausweisgruppe lesen", .repeated_question = true},
    .client_tables = 1,
    .lead_width = 5,
    .lead_slot = &BadgeRow::badge_group,
    .pad_class = true};
const Stage kByCostCentre{.sql = kClassByCostCentreSql,
                          .purpose = {.what = "Klasse der Kostenstelle lesen",
                                      .repeated_question = true,
                                      .per_badge = true},
                          .client_tables = 2,
                          .lead_width = 30,
                          .lead_slot = &BadgeRow::cost_centre,
                          .pad_class = true};
const Stage kByCostCentreTable{.sql = kClassByCostCentreTableSql,
                               .purpose = {.what = "Klasse aus Kostenstellentabelle lesen",
                                           .repeated_question = true,
                                           .per_badge = true},
                               .client_tables = 3,
                               .pad_class = true};
const Stage kByDepartment{
    .sql = kClassByDepartmentSql,
    .purpose = {.what = "Klasse der Abteilung lesen", .repeated_question = true, .per_badge = true},
    .client_tables = 2,
    .lead_width = 15,
    .lead_slot = &BadgeRow::department,
    .pad_class = true};
const Stage kByDepartmentList{.sql = kClassByDepartmentListSql,
                              .purpose = {.what = "Klasse aus Abteilungsliste lesen",
                                          .repeated_question = true,
                                          .per_badge = true},
                              .client_tables = 3,
                              .pad_class = true};
const Stage kByPersonEntries{
    .sql = kClassByPersonEntriesSql,
    .purpose = {.what = "Klasse der Person lesen", .repeated_question = true, .per_badge = true},
    .client_tables = 2,
    .pad_class = false};

}  // namespace

int class_by_group(Session& session, BadgeRow& row) {
  return run_stage(session, row, kByGroup, row.badge_group);
}

int class_by_cost_centre(Session& session, BadgeRow& row) {
  return run_stage(session, row, kByCostCentre, row.person_number);
}

int class_by_cost_centre_table(Session& session, BadgeRow& row) {
  return run_stage(session, row, kByCostCentreTable, row.person_number);
}

int class_by_department(Session& session, BadgeRow& row) {
  return run_stage(session, row, kByDepartment, row.person_number);
}

int class_by_department_list(Session& session, BadgeRow& row) {
  return run_stage(session, row, kByDepartmentList, row.person_number);
}

int class_by_person_entries(Session& session, BadgeRow& row) {
  return run_stage(session, row, kByPersonEntries, row.person_number);
}

namespace {

// 0 for the badge's own class, 1 to 6 for the stage that found one, -1 when none did.
int class_stage(Session& session, BadgeRow& row) {
  if (row.class_code != kUnresolvedClass) return 0;
  int number = 0;
  for (auto stage : {class_by_group, class_by_cost_centre, class_by_cost_centre_table,
                     class_by_department, class_by_department_list, class_by_person_entries}) {
    ++number;
    if (stage(session, row) == 0) return number;
  }
  return -1;
}

}  // namespace

bool resolve_class(Session& session, BadgeRow& row) {
  int stage = class_stage(session, row);
  if (Trace* trace = session.trace()) trace->class_stage(stage);
  return stage >= 0;
}

}  // namespace varnoklis
