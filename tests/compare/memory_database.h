// An in-memory database side for the comparison tests: named tables of rows,
// answering the two statement forms the comparison sends, ordered by the same rule
// the provider follows. Statements and cursor moves are counted so tests can see
// what was read, and a failure can be planted per statement.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "compare/cell_value.h"
#include "compare/record_cursor.h"

namespace testsupport {

using Row = std::vector<automation::Variant>;

struct MemoryTable {
    std::vector<std::wstring> columns;
    std::vector<Row> rows;
};

class MemoryDatabase : public RecordConnection {
public:
    void AddTable(const std::wstring& name, std::vector<std::wstring> columns,
                  std::vector<Row> rows)
    {
        tables_[name] = MemoryTable{std::move(columns), std::move(rows)};
    }
    // Statements containing `fragment` raise ComError(E_FAIL, description).
    void FailOn(std::wstring fragment, std::wstring description)
    {
        failFragment_ = std::move(fragment);
        failDescription_ = std::move(description);
    }
    // Every row read sleeps this long (to keep a merge busy).
    void SetRowDelay(std::chrono::microseconds delay) { rowDelay_ = delay; }

    std::unique_ptr<RecordCursor> CreateCursor(const std::wstring& statement) override;
    automation::Variant ExecuteScalar(const std::wstring& statement) override;
    void Close() override { closed_ = true; }

    std::atomic<int> rowsRead{0};
    std::atomic<int> failAfterRows{-1};  // MoveNext fails once this many rows were read
    std::atomic<int> seeks{0};
    std::atomic<int> executions{0};
    std::atomic<int> groupQueries{0};  // statements that group rows by their key
    bool closed_ = false;

    void CheckFailure(const std::wstring& statement) const
    {
        if (!failFragment_.empty() && statement.find(failFragment_) != std::wstring::npos)
            throw automation::ComError(automation::E_FAIL, failDescription_);
    }
    const MemoryTable& Table(const std::wstring& name) const
    {
        auto it = tables_.find(name);
        if (it == tables_.end())
            throw automation::ComError(automation::E_FAIL,
                                       L"The table '" + name + L"' does not exist.");
        return it->second;
    }
    std::chrono::microseconds rowDelay_{0};

private:
    std::map<std::wstring, MemoryTable> tables_;
    std::wstring failFragment_;
    std::wstring failDescription_;
};

// Splits "[a], [b]" into names.
inline std::vector<std::wstring> BracketedNames(const std::wstring& list)
{
    std::vector<std::wstring> names;
    size_t pos = 0;
    while ((pos = list.find(L'[', pos)) != std::wstring::npos) {
        const size_t end = list.find(L']', pos);
        names.push_back(list.substr(pos + 1, end - pos - 1));
        pos = end + 1;
    }
    return names;
}

class MemoryCursor : public RecordCursor {
public:
    MemoryCursor(MemoryDatabase& db, std::wstring statement)
        : db_(db), statement_(std::move(statement))
    {
    }
    void Open() override
    {
        db_.CheckFailure(statement_);
        db_.executions += 1;
        const size_t from = statement_.find(L" from [");
        const size_t group = statement_.find(L"] group by ");
        if (group != std::wstring::npos)
            return OpenRepeatedKeys(from, group);
        const size_t order = statement_.find(L"] order by ");
        const std::vector<std::wstring> select = BracketedNames(statement_.substr(7, from - 7));
        const std::wstring tableName = statement_.substr(from + 7, order - from - 7);
        const std::vector<std::wstring> keys = BracketedNames(statement_.substr(order + 1));
        const MemoryTable& table = db_.Table(tableName);
        auto column = [&](const std::wstring& name) {
            auto it = std::find(table.columns.begin(), table.columns.end(), name);
            if (it == table.columns.end())
                throw automation::ComError(automation::E_FAIL, L"Unknown column " + name);
            return static_cast<size_t>(it - table.columns.begin());
        };
        std::vector<size_t> selected, keyColumns;
        for (const auto& name : select)
            selected.push_back(column(name));
        for (const auto& name : keys)
            keyColumns.push_back(column(name));
        rows_.clear();
        for (const Row& row : table.rows) {
            Row out;
            for (size_t c : selected)
                out.push_back(row[c]);
            Row key;
            for (size_t c : keyColumns)
                key.push_back(row[c]);
            rows_.push_back({std::move(key), std::move(out)});
        }
        std::stable_sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) {
            for (size_t i = 0; i < a.first.size(); ++i) {
                const int c = CellValue(a.first[i]).Compare(CellValue(b.first[i]), false);
                if (c)
                    return c < 0;
            }
            return false;
        });
        position_ = 1;
        open_ = true;
    }
    void Close() override { open_ = false; }
    bool IsEof() override { return Check(), position_ > static_cast<int>(rows_.size()); }
    int AbsolutePosition() override
    {
        Check();
        return IsEof() ? kPositionEof : position_;
    }
    void SetAbsolutePosition(int position) override
    {
        Check();
        db_.seeks += 1;
        position_ = position;
    }
    int FieldCount() override { return Check(), static_cast<int>(rows_.front().second.size()); }
    const automation::Variant& FieldValue(int index) override
    {
        Check();
        return rows_[position_ - 1].second[index];
    }
    void MoveNext() override
    {
        Check();
        if (db_.failAfterRows >= 0 && db_.rowsRead >= db_.failAfterRows)
            throw automation::ComError(automation::E_FAIL, L"The disk went away.");
        db_.rowsRead += 1;
        if (db_.rowDelay_.count())
            std::this_thread::sleep_for(db_.rowDelay_);
        ++position_;
    }

private:
    // "select top 1 <keys> from [t] group by <keys> having count(*) > 1 order by <keys>":
    // the smallest key value that more than one row holds.
    void OpenRepeatedKeys(size_t from, size_t group)
    {
        db_.groupQueries += 1;
        const std::vector<std::wstring> keys =
            BracketedNames(statement_.substr(7, from - 7));
        const MemoryTable& table = db_.Table(statement_.substr(from + 7, group - from - 7));
        std::vector<Row> values;
        for (const Row& row : table.rows) {
            Row key;
            for (const auto& name : keys) {
                auto it = std::find(table.columns.begin(), table.columns.end(), name);
                key.push_back(row[static_cast<size_t>(it - table.columns.begin())]);
            }
            values.push_back(std::move(key));
        }
        auto compare = [](const Row& a, const Row& b) {
            for (size_t i = 0; i < a.size(); ++i)
                if (const int c = CellValue(a[i]).Compare(CellValue(b[i]), false))
                    return c;
            return 0;
        };
        std::sort(values.begin(), values.end(),
                  [&](const Row& a, const Row& b) { return compare(a, b) < 0; });
        rows_.clear();
        for (size_t i = 1; i < values.size(); ++i)
            if (compare(values[i - 1], values[i]) == 0) {
                rows_.push_back({values[i], values[i]});
                break;
            }
        position_ = 1;
        open_ = true;
    }

    void Check() const
    {
        if (!open_)
            throw automation::ComError(automation::E_FAIL, L"The recordset is closed.");
    }
    MemoryDatabase& db_;
    std::wstring statement_;
    std::vector<std::pair<Row, Row>> rows_;
    int position_ = 1;
    bool open_ = false;
};

inline std::unique_ptr<RecordCursor> MemoryDatabase::CreateCursor(const std::wstring& statement)
{
    return std::make_unique<MemoryCursor>(*this, statement);
}

inline automation::Variant MemoryDatabase::ExecuteScalar(const std::wstring& statement)
{
    CheckFailure(statement);
    const size_t from = statement.find(L"[");
    const std::wstring name = statement.substr(from + 1, statement.size() - from - 2);
    return automation::Variant(static_cast<int32_t>(Table(name).rows.size()));
}

}  // namespace testsupport
