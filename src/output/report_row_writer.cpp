#include "output/report_row_writer.h"

#include <algorithm>

#include "compare/record_diff_item.h"
#include "output/text_utils.h"

ReportRowWriter::ReportRowWriter() : RecordStatementWriter(std::wstring(), {}, {}) {}

std::wstring ReportRowWriter::Insert(const DbRecord& record) const
{
    return WriteRow(record, L"t2", nullptr, std::wstring());
}

std::wstring ReportRowWriter::Update(const DbRecord* target, const DbRecord& source,
                                     const ModifiedDiffItem* item) const
{
    const std::vector<int>* changed = item ? &item->ChangedFields() : nullptr;
    std::wstring rows;
    if (target)
        rows = WriteRow(*target, L"c1", changed, L"cc1");
    rows += WriteRow(source, L"c2", changed, L"cc2");
    return rows;
}

std::wstring ReportRowWriter::Delete(const DbRecord& record) const
{
    return WriteRow(record, L"t1", nullptr, std::wstring());
}

std::unique_ptr<std::wstring> ReportRowWriter::Equal(const DbRecord& record) const
{
    return std::make_unique<std::wstring>(WriteRow(record, std::wstring(), nullptr, {}));
}

std::wstring ReportRowWriter::WriteRow(const DbRecord& record, const std::wstring& rowClass,
                                       const std::vector<int>* changed,
                                       const std::wstring& changedClass)
{
    std::wstring row = L"<tr class=\"" + rowClass + L"\">";
    const auto& values = record.Values();
    for (size_t i = 0; i < values.size(); ++i) {
        const bool marked =
            changed && std::binary_search(changed->begin(), changed->end(), static_cast<int>(i));
        if (marked)
            row += L"<td class=\"" + changedClass + L"\">";
        else
            row += L"<td>";
        row += CellText(values[i]);
        row += L"</td>";
    }
    row += L"</tr>\r\n";
    return row;
}

std::wstring ReportRowWriter::CellText(const CellValue& value)
{
    if (value.IsArray())
        return L"BINARY DATA";
    std::wstring text = ReportText(value);
    HtmlEscapeText(text);
    if (IsBlankText(text))
        return L"&nbsp;";
    return text;
}
