// The result of one compared table pair: its ordered row list, its column captions,
// the two select statements and the four counts. Guarded by its own lock.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "compare/locked_object.h"
#include "compare/result_row_source.h"

using CaptionList = std::vector<std::wstring>;

class TableResult : public LockedObject {
public:
    TableResult(CaptionList captions, std::wstring query1, std::wstring query2)
        : captions_(std::move(captions)), query1_(std::move(query1)), query2_(std::move(query2))
    {
    }

    ResultRowSource& Rows() { return rows_; }
    const ResultRowSource& Rows() const { return rows_; }
    // Fixed at construction; readable without the lock.
    const CaptionList& Captions() const { return captions_; }
    const std::wstring& Query1() const { return query1_; }
    const std::wstring& Query2() const { return query2_; }

    // In the order equal, Database1 only, Database2 only, modified.
    void SetCounts(int equal, int firstOnly, int secondOnly, int modified)
    {
        counts_ = {equal, firstOnly, secondOnly, modified};
    }
    std::array<int, 4> Counts() const { return counts_; }

    // A key value found on more than one row of a side (0 Database1, 1 Database2), as
    // DbRecord::KeyText gives it. The first one found is kept; none where the key held.
    void NoteDuplicateKey(int side, std::wstring keyText)
    {
        if (!duplicateKeys_[side])
            duplicateKeys_[side] = std::move(keyText);
    }
    const std::optional<std::wstring>& DuplicateKey(int side) const { return duplicateKeys_[side]; }
    bool KeyIsUnique() const { return !duplicateKeys_[0] && !duplicateKeys_[1]; }
    // The rows of the rest range, which the merge does not read, had their keys checked.
    void MarkRestKeysChecked() { restKeysChecked_ = true; }
    bool RestKeysChecked() const { return restKeysChecked_; }

private:
    ResultRowSource rows_;
    const CaptionList captions_;
    const std::wstring query1_;
    const std::wstring query2_;
    std::array<int, 4> counts_{};
    std::optional<std::wstring> duplicateKeys_[2];
    bool restKeysChecked_ = false;
};
