#pragma once

#include "db/session.h"
#include "db/sql_text.h"
#include "queries/badge_row.h"

namespace varnoklis {

/// The valid assignment of a badge group.
extern const SqlText kClassByGroupSql;
/// The valid assignment of the person's cost centre.
extern const SqlText kClassByCostCentreSql;
/// The valid assignment of the person's cost-centre table value.
extern const SqlText kClassByCostCentreTableSql;
/// The valid assignment of the person's department.
extern const SqlText kClassByDepartmentSql;
/// The valid assignment of the person's department list value.
extern const SqlText kClassByDepartmentListSql;
/// The valid assignment of the person's entries.
extern const SqlText kClassByPersonEntriesSql;

/// Stage 1, by badge group: 0 with group, dates and class written, -1 on a failed statement,
/// else the fetch result (normally 100) with the row untouched. The stages below alike.
int class_by_group(Session& session, BadgeRow& row);
/// Stage 2, by the person's cost centre; also writes the cost-centre slot.
int class_by_cost_centre(Session& session, BadgeRow& row);
/// Stage 3, by the person's cost-centre table value.
int class_by_cost_centre_table(Session& session, BadgeRow& row);
/// Stage 4, by the person's department; also writes the department slot.
int class_by_department(Session& session, BadgeRow& row);
/// Stage 5, by the person's department list value.
int class_by_department_list(Session& session, BadgeRow& row);
/// Stage 6, by the person's entries; writes the class bare, without blank fill.
int class_by_person_entries(Session& session, BadgeRow& row);

/// True when the class counts as resolved: the class slot is not "0  ", or a stage found an
/// assignment (stages run in order and stop at the first find).
bool resolve_class(Session& session, BadgeRow& row);

}  // namespace varnoklis
