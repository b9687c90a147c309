// The statements of the synchronisation script for one target table: INSERT, UPDATE and DELETE
// of a record, with the value encodings that the script runner's statement parser reads back
// (base64 literals for binary values, chr() codes for control characters).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "compare/cell_value.h"
#include "compare/db_record.h"

class ModifiedDiffItem;

class RecordStatementWriter {
public:
    // table: the target table's name; fields: the target side's names of the matched fields, in
    // select-list order; keyIndexes: the positions of the key fields among them.
    RecordStatementWriter(const std::wstring& table, std::vector<std::wstring> fields,
                          std::vector<int> keyIndexes);
    virtual ~RecordStatementWriter();

    // Each returns the whole statement, ending ";" CR LF.
    virtual std::wstring Insert(const DbRecord& record) const;
    // The values come from the source record; the row is found by the target record's key
    // values where it is given (keys of two types), else by the source's, which then equal them.
    virtual std::wstring Update(const DbRecord* target, const DbRecord& source,
                                const ModifiedDiffItem* item) const;
    virtual std::wstring Delete(const DbRecord& record) const;
    // Equal records give no statement.
    virtual std::unique_ptr<std::wstring> Equal(const DbRecord& record) const;

    // "UPDATE [table] SET" the fields at `columns` to the record's values, with its WHERE.
    std::wstring SetFields(const DbRecord& record, const std::vector<int>& columns) const;

    // " WHERE " and the key conditions joined by " AND ".
    std::wstring Where(const DbRecord& record) const;

    // One value as SQL text.
    static std::wstring Value(const CellValue& value);
    // A string literal: quoted runs and chr() codes joined by " & ".
    static std::wstring QuoteText(const std::wstring& text);
    // The value's text without quoting: "NULL", the string itself, or the number or date text
    // (dates between '#'), in a form the database engine reads back to the same value.
    static std::wstring PlainText(const CellValue& value);
    // The value's text as the reports show it to a reader: PlainText, except that a date which
    // whole seconds do not meet is a date to the millisecond ("#03/15/2023 02:57:46.667#")
    // rather than the number that reads back exactly.
    static std::wstring ReportText(const CellValue& value);
    // "base64(" '"' base64 text with CR LF after every 72 characters and after the last '"' ")".
    static std::wstring Base64Literal(const CellValue& value);

    // Marks the AutoNumber fields (by position): an UPDATE never sets them, since the engine
    // refuses any change to one, and one that differs is named in a comment line instead.
    void SetAutoNumberFields(std::vector<bool> autoNumber) { autoNumber_ = std::move(autoNumber); }

    const std::wstring& Table() const { return table_; }
    const std::wstring& FieldList() const { return fieldList_; }

private:
    std::wstring KeyCondition(int index, const CellValue& value) const;
    // QuoteText with chr() codes for every character `asCode` picks.
    template <class AsCode>
    static std::wstring QuoteCodes(const std::wstring& text, AsCode asCode);

    std::wstring table_;  // in brackets
    std::wstring fieldList_;
    std::vector<std::wstring> fields_;
    std::vector<int> keyIndexes_;
    std::vector<bool> isKey_;
    std::vector<bool> autoNumber_;
};
