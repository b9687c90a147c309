#include "compare/category_record_list.h"

#include <algorithm>

#include "compare/data_reader.h"
#include "compare/table_result_node.h"
#include "platform/automation/com_error.h"

namespace {

// A list line holds one line of text: a CR LF pair shows as a lone CR.
std::wstring CellText(const CellValue& value)
{
    std::wstring text = value.ToText();
    size_t pos = 0;
    while ((pos = text.find(L"\r\n", pos)) != std::wstring::npos) {
        text.erase(pos + 1, 1);
        pos += 1;
    }
    return text;
}

}  // namespace

CategoryRecordList::CategoryRecordList(TableResultNode& node, DataReader& reader, int tableIndex)
    : tableIndex_(tableIndex), node_(node), reader_(reader)
{
}

RecordLines CategoryRecordList::GetLines(int first, int count)
{
    return LineWindowCache::GetRows(first, count);
}

void CategoryRecordList::Refresh()
{
    ObjectLock lock(node_.Mutex());
    if (!captions_.load())
        captions_.store(node_.Captions());
    node_.Update();
    lineCount_.store(node_.LineCount());
    ready_.store(captions_.load() != nullptr);
}

std::vector<RecordLine> CategoryRecordList::LoadLines(int first, int end)
{
    page_.clear();
    if (first >= lineCount_.load())
        return {};
    std::vector<RecordDiffItem*> items;
    {
        ObjectLock lock(node_.Mutex());
        const int item1 = node_.LocateLine(first, skipFirstLine_);
        const int item2 = node_.LocateLine(end);
        items = node_.GetRows(item1, item2 - item1);
    }
    if (items.empty())
        return {};
    // When the database cannot be read now (damaged, gone, changed) the lines built so far
    // show, the rest is asked for again at the next scroll, and the list can tell why.
    try {
        for (auto& record : reader_.ReadRecords(tableIndex_, items))
            record->Accept(*this);
        readError_.clear();
    } catch (const automation::ComError& error) {
        readError_ = error.Description().empty() ? L"Database error." : error.Description();
    } catch (const std::out_of_range&) {
        readError_ = L"The table no longer has the fields that were compared.";
    }
    skipFirstLine_ = 0;
    return std::move(page_);
}

void CategoryRecordList::AddLine(RecordLine::Kind kind, const DbRecord& record,
                                 const std::vector<int>* changed, const DbRecord* other)
{
    RecordLine line;
    line.kind = kind;
    line.cells.reserve(record.Values().size());
    for (size_t i = 0; i < record.Values().size(); ++i) {
        RecordLine::Cell cell{CellText(record.ValueAt(i)), false};
        if (changed)
            cell.changed = std::binary_search(changed->begin(), changed->end(), int(i));
        // Values that differ by less than their text shows (a fraction of a second, the last
        // bits of a double) would read the same on both lines.
        if (cell.changed && other && i < other->Values().size() &&
            cell.text == CellText(other->ValueAt(i))) {
            cell.text = record.ValueAt(i).ToExactText();
            cell.exact = true;
        }
        line.cells.push_back(std::move(cell));
    }
    page_.push_back(std::move(line));
}

void CategoryRecordList::VisitEqual(EqualRecordItem& item)
{
    AddLine(RecordLine::kEqual, item.Record());
}

void CategoryRecordList::VisitModified(ModifiedRecordItem& item)
{
    if (!skipFirstLine_)
        AddLine(RecordLine::kModifiedFirst, item.First(), &item.ChangedFields(), &item.Second());
    AddLine(RecordLine::kModifiedSecond, item.Second(), &item.ChangedFields(), &item.First());
    skipFirstLine_ = 0;
}

void CategoryRecordList::VisitSecondOnly(SecondOnlyRecordItem& item)
{
    AddLine(RecordLine::kSecondOnly, item.Record());
}

void CategoryRecordList::VisitFirstOnly(FirstOnlyRecordItem& item)
{
    AddLine(RecordLine::kFirstOnly, item.Record());
}
