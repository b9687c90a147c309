// The record sources of one data comparison: for every compared table pair the two
// readers over its select statements, kept open so that rows can be read again by
// position. At most kMaxOpenPairs pairs hold open results at a time; a closed pair
// reopens on demand and its rows keep their positions.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compare/locked_object.h"
#include "compare/record_diff_item.h"
#include "compare/record_reader.h"

class TablePair;

struct RecordReaderPair {
    std::unique_ptr<RecordReader> reader1;
    std::unique_ptr<RecordReader> reader2;
};

class DataReader : public LockedObject {
public:
    static constexpr size_t kMaxOpenPairs = 31;

    // Neither connection is owned.
    DataReader(RecordConnection& connection1, RecordConnection& connection2);
    ~DataReader() override;

    int CountRows1(const std::wstring& tableName);
    int CountRows2(const std::wstring& tableName);
    static int CountRows(const std::wstring& tableName, RecordConnection& connection);

    // The first row of a statement on a side's connection (side 0 Database1, 1 Database2),
    // read once and let go; null when the result is empty.
    std::unique_ptr<DbRecord> ReadFirstRow(int side, const std::wstring& statement);

    // Makes, opens and registers the readers of a table pair; the pair becomes the
    // current one, which is never closed to make room.
    RecordReaderPair& OpenRecordsets(const TablePair* pair, const std::wstring& query1,
                                     const std::wstring& query2);
    void ClearCurrent();

    // Open readers of the n-th opened pair; std::out_of_range("incorrect index")
    // when there is none.
    RecordReaderPair& GetPairAt(int index);
    RecordReaderPair& GetTableRecords(const TablePair* pair);
    int PairCount() const;

    // Reads the rows of the stored items again; the caller owns the record items.
    virtual std::vector<std::unique_ptr<RecordItemBase>> ReadRecords(
        int index, const std::vector<RecordDiffItem*>& rowItems);

    // Closes every result (both connections stay as they are).
    void CloseAll();

private:
    void EnsureOpen(RecordReaderPair& pair);

    std::vector<std::unique_ptr<RecordReaderPair>> pairs_;
    RecordReaderPair* current_ = nullptr;
    std::vector<RecordReaderPair*> openList_;  // oldest first
    std::map<const TablePair*, RecordReaderPair*> byPair_;
    RecordConnection& connection1_;
    RecordConnection& connection2_;
};

// Turns stored items back into record items by reading their rows. The caller
// holds both readers' locks.
class RecordLoader : public StoredItemVisitor {
public:
    RecordLoader(RecordReader& reader1, RecordReader& reader2,
                 std::vector<std::unique_ptr<RecordItemBase>>& out)
        : reader1_(reader1), reader2_(reader2), out_(out)
    {
    }
    void VisitEqual(EqualSideRecordItem& item) override;
    void VisitModified(ModifiedDiffItem& item) override;
    void VisitSecondOnly(SecondSideRecordItem& item) override;
    void VisitFirstOnly(SideRecordItem& item) override;

private:
    std::unique_ptr<DbRecord> Read(RecordReader& reader, int row);

    RecordReader& reader1_;
    RecordReader& reader2_;
    std::vector<std::unique_ptr<RecordItemBase>>& out_;
};
