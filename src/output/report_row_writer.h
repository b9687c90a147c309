// The rows of the HTML report: one table row per record, its class telling the record's kind,
// the cells of a modified record's differing fields marked. It takes the statement writer's
// place under the record-kind visitor, so the report walks a result exactly as the script does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "output/record_statement_writer.h"

class ReportRowWriter : public RecordStatementWriter {
public:
    ReportRowWriter();

    // Only in Database2 (the visitor's insert slot for the target Database1).
    std::wstring Insert(const DbRecord& record) const override;
    // A modified record: the Database1 row, then the Database2 row, as one piece.
    std::wstring Update(const DbRecord* target, const DbRecord& source,
                        const ModifiedDiffItem* item) const override;
    // Only in Database1.
    std::wstring Delete(const DbRecord& record) const override;
    std::unique_ptr<std::wstring> Equal(const DbRecord& record) const override;

    // One "<tr>" row; the cells whose index `changed` holds get `changedClass`.
    static std::wstring WriteRow(const DbRecord& record, const std::wstring& rowClass,
                                 const std::vector<int>* changed, const std::wstring& changedClass);
    // The text of one cell, ready for the page.
    static std::wstring CellText(const CellValue& value);
};
