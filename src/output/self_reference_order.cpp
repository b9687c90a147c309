#include "output/self_reference_order.h"

#include <algorithm>
#include <map>
#include <queue>
#include <unordered_map>

#include "database/schema_key.h"
#include "database/schema_table.h"

namespace {

int Position(const std::vector<std::wstring>& fields, const std::wstring& name)
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i] == name)
            return static_cast<int>(i);
    return -1;
}

// The values at some positions as one text; false when one is NULL (no reference).
bool KeyText(const DbRecord& row, const std::vector<int>& positions, std::wstring& text)
{
    text.clear();
    for (int p : positions) {
        const CellValue& value = row.ValueAt(static_cast<size_t>(p));
        if (value.IsNull() || value.Variant().IsEmpty())
            return false;
        text += std::to_wstring(value.Variant().vt());
        text += L':';
        text += value.ToText();
        text += L'\x1f';
    }
    return true;
}

}  // namespace

std::vector<SelfReference> FindSelfReferences(const SchemaTable& table,
                                              const std::vector<std::wstring>& fields,
                                              const std::vector<int>& keyIndexes)
{
    std::vector<SelfReference> found;
    for (const auto& key : table.Keys()) {
        if (key->KeyType() != SchemaKey::kForeign || key->RelatedTable() != &table)
            continue;
        SelfReference reference;
        bool usable = !key->Columns().empty();
        for (const auto& [column, related] : key->Columns()) {
            int from = Position(fields, column), to = Position(fields, related);
            if (from < 0 || to < 0 ||
                std::find(keyIndexes.begin(), keyIndexes.end(), from) != keyIndexes.end())
                usable = false;
            reference.columns.push_back(from);
            reference.referenced.push_back(to);
        }
        if (usable)
            found.push_back(std::move(reference));
    }
    return found;
}

std::vector<int> ReferringColumns(const std::vector<SelfReference>& references)
{
    std::vector<int> columns;
    for (const auto& reference : references)
        for (int c : reference.columns)
            if (std::find(columns.begin(), columns.end(), c) == columns.end())
                columns.push_back(c);
    std::sort(columns.begin(), columns.end());
    return columns;
}

SelfReferenceOrder ParentsFirst(const std::vector<DbRecord>& rows,
                                const std::vector<SelfReference>& references)
{
    const size_t n = rows.size();
    std::vector<std::vector<size_t>> children(n);
    std::vector<size_t> waiting(n, 0);  // parents not yet written
    std::vector<bool> selfLoop(n, false);
    std::wstring text;
    for (const auto& reference : references) {
        std::unordered_map<std::wstring, size_t> byKey;
        for (size_t i = 0; i < n; ++i)
            if (KeyText(rows[i], reference.referenced, text))
                byKey.emplace(text, i);
        for (size_t i = 0; i < n; ++i) {
            if (!KeyText(rows[i], reference.columns, text))
                continue;
            auto parent = byKey.find(text);
            if (parent == byKey.end())
                continue;
            // A row that refers to itself goes in without the reference and gets it after.
            if (parent->second == i) {
                selfLoop[i] = true;
                continue;
            }
            children[parent->second].push_back(i);
            ++waiting[i];
        }
    }
    SelfReferenceOrder result;
    result.broken = selfLoop;
    result.order.reserve(n);
    std::vector<bool> placed(n, false);
    std::priority_queue<size_t, std::vector<size_t>, std::greater<>> ready;
    for (size_t i = 0; i < n; ++i)
        if (waiting[i] == 0)
            ready.push(i);
    size_t nextUnplaced = 0;
    auto place = [&](size_t i) {
        placed[i] = true;
        result.order.push_back(i);
        for (size_t child : children[i])
            if (!placed[child] && --waiting[child] == 0)
                ready.push(child);
    };
    while (result.order.size() < n) {
        if (ready.empty()) {
            // Only rows of cycles are left: the first of them goes in without its references.
            while (placed[nextUnplaced])
                ++nextUnplaced;
            result.broken[nextUnplaced] = true;
            place(nextUnplaced);
            continue;
        }
        size_t i = ready.top();
        ready.pop();
        if (!placed[i])
            place(i);
    }
    return result;
}
