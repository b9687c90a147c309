#include "compare/data_reader.h"

#include <algorithm>
#include <stdexcept>

DataReader::DataReader(RecordConnection& connection1, RecordConnection& connection2)
    : connection1_(connection1), connection2_(connection2)
{
}

DataReader::~DataReader() = default;

int DataReader::CountRows1(const std::wstring& tableName)
{
    return CountRows(tableName, connection1_);
}

int DataReader::CountRows2(const std::wstring& tableName)
{
    return CountRows(tableName, connection2_);
}

int DataReader::CountRows(const std::wstring& tableName, RecordConnection& connection)
{
    const automation::Variant value =
        connection.ExecuteScalar(L"select count(*) from [" + tableName + L"]");
    return value.vt() == automation::VT_I4 ? value.lVal() : 0;
}

std::unique_ptr<DbRecord> DataReader::ReadFirstRow(int side, const std::wstring& statement)
{
    RecordReader reader(side == 0 ? connection1_ : connection2_, statement);
    ObjectLock lock(reader.Mutex());
    reader.Open();
    std::unique_ptr<DbRecord> row = reader.BuildRecord();
    reader.Close();
    return row;
}

RecordReaderPair& DataReader::OpenRecordsets(const TablePair* pair, const std::wstring& query1,
                                             const std::wstring& query2)
{
    auto readers = std::make_unique<RecordReaderPair>();
    readers->reader1 = std::make_unique<RecordReader>(connection1_, query1);
    readers->reader2 = std::make_unique<RecordReader>(connection2_, query2);
    ObjectLock lock(Mutex());
    RecordReaderPair& added = *readers;
    pairs_.push_back(std::move(readers));
    byPair_[pair] = &added;
    current_ = &added;
    EnsureOpen(added);
    return added;
}

void DataReader::ClearCurrent()
{
    ObjectLock lock(Mutex());
    current_ = nullptr;
}

RecordReaderPair& DataReader::GetPairAt(int index)
{
    ObjectLock lock(Mutex());
    if (index < 0 || index >= static_cast<int>(pairs_.size()))
        throw std::out_of_range("incorrect index");
    EnsureOpen(*pairs_[index]);
    return *pairs_[index];
}

RecordReaderPair& DataReader::GetTableRecords(const TablePair* pair)
{
    ObjectLock lock(Mutex());
    auto it = byPair_.find(pair);
    if (it == byPair_.end())
        throw std::out_of_range("incorrect index");
    EnsureOpen(*it->second);
    return *it->second;
}

int DataReader::PairCount() const
{
    ObjectLock lock(Mutex());
    return static_cast<int>(pairs_.size());
}

std::vector<std::unique_ptr<RecordItemBase>> DataReader::ReadRecords(
    int index, const std::vector<RecordDiffItem*>& rowItems)
{
    RecordReaderPair& pair = GetPairAt(index);  // the reader lock is released here
    std::vector<std::unique_ptr<RecordItemBase>> records;
    records.reserve(rowItems.size());
    ObjectLock lock1(pair.reader1->Mutex());
    ObjectLock lock2(pair.reader2->Mutex());
    RecordLoader loader(*pair.reader1, *pair.reader2, records);
    for (RecordDiffItem* item : rowItems)
        item->Accept(loader);
    return records;
}

void DataReader::CloseAll()
{
    ObjectLock lock(Mutex());
    for (auto& pair : pairs_) {
        ObjectLock lock1(pair->reader1->Mutex());
        ObjectLock lock2(pair->reader2->Mutex());
        pair->reader1->Close();
        pair->reader2->Close();
    }
    openList_.clear();
}

void DataReader::EnsureOpen(RecordReaderPair& pair)
{
    if (pair.reader1->IsOpen() && pair.reader2->IsOpen())
        return;
    {
        ObjectLock lock1(pair.reader1->Mutex());
        ObjectLock lock2(pair.reader2->Mutex());
        pair.reader1->Open();
        pair.reader2->Open();
    }
    if (std::find(openList_.begin(), openList_.end(), &pair) != openList_.end())
        return;
    if (openList_.size() >= kMaxOpenPairs) {
        for (auto it = openList_.begin(); it != openList_.end(); ++it) {
            if (*it == current_)
                continue;
            ObjectLock lock1((*it)->reader1->Mutex());
            ObjectLock lock2((*it)->reader2->Mutex());
            (*it)->reader1->Close();
            (*it)->reader2->Close();
            openList_.erase(it);
            break;
        }
    }
    openList_.push_back(&pair);
}

std::unique_ptr<DbRecord> RecordLoader::Read(RecordReader& reader, int row)
{
    auto record = reader.GetRecordAt(row);
    if (!record)  // a row that is gone still shows, as an empty record at its place
        record = std::make_unique<DbRecord>(row);
    return record;
}

void RecordLoader::VisitEqual(EqualSideRecordItem& item)
{
    out_.push_back(std::make_unique<EqualRecordItem>(Read(reader1_, item.Row())));
}

void RecordLoader::VisitModified(ModifiedDiffItem& item)
{
    out_.push_back(std::make_unique<ModifiedRecordItem>(
        Read(reader1_, item.Row1()), Read(reader2_, item.Row2()), item.SharedChangedFields()));
}

void RecordLoader::VisitSecondOnly(SecondSideRecordItem& item)
{
    out_.push_back(std::make_unique<SecondOnlyRecordItem>(Read(reader2_, item.Row())));
}

void RecordLoader::VisitFirstOnly(SideRecordItem& item)
{
    out_.push_back(std::make_unique<FirstOnlyRecordItem>(Read(reader1_, item.Row())));
}
