// The OLE DB schema rowsets the catalog readers ask ADO's OpenSchema for,
// built from the native store's catalog: COLUMNS (4), CHECK_CONSTRAINTS (5)
// and TABLE_CONSTRAINTS (10), with their documented columns and restrictions.
#pragma once

#include <vector>

#include "platform/automation/variant.h"
#include "platform/provider/catalog.h"
#include "platform/provider/query_emitter.h"

namespace provider {

// SchemaEnum values this provider answers.
constexpr long adSchemaColumns = 4;
constexpr long adSchemaCheckConstraints = 5;
constexpr long adSchemaTableConstraints = 10;

// The rowset as a query over constant rows (a cursor runs it). Restrictions
// are in the rowset's documented order; empty or missing ones match all.
// Raises ComError for a rowset this provider does not have.
EmittedSelect SchemaRowsetQuery(const Catalog& catalog, long schema,
                                const std::vector<automation::Variant>& restrictions);

}  // namespace provider
