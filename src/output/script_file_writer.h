// Writes the synchronisation script of a finished comparison: the SQL data statements that make
// the target database hold the records of the source. All INSERTs come first, tables in
// foreign-key order, then the UPDATEs and the DELETEs with the tables in reverse order.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "compare/wizard_task.h"
#include "output/record_kind_visitor.h"

class DataReader;
class DbRecord;
class RecordStatementWriter;
class StatementEmitter;
struct SelfReference;
class DatabaseSchema;
class ResultStore;
class SchemaTable;
class TablePair;
class TablePairList;
class TextFileWriter;

class ScriptFileWriter : public WizardTask {
public:
    static constexpr const wchar_t* kVersion = L"2.1";

    // encoding: TextFileWriter's numbers (1 ANSI, 2 UTF-8, 3 UTF-16). direction: 1 = upgrade
    // Database1 to Database2 (Database1 is the target), 2 = the reverse. Nothing is owned.
    ScriptFileWriter(const DatabaseSchema& schema1, const DatabaseSchema& schema2,
                     ResultStore& store, DataReader& reader, const TablePairList& pairs,
                     std::wstring path, int encoding, int direction, bool insert, bool update,
                     bool erase);
    ~ScriptFileWriter() override;

    void Run(IProgress& progress) override;
    bool Failed() const override { return failed_; }
    std::wstring ErrorText() const override { return errorText_; }
    // Names the tables whose rows keep AutoNumber values that differ from the source's (an
    // AutoNumber field cannot be changed); empty when there are none. The script's header
    // says the same.
    std::wstring Notice() const override;
    // The visit of the current table ends before its next item; the run returns after it.
    void RequestStop() override;

private:
    // False when the run was stopped.
    bool WritePass(const std::vector<SchemaTable*>& order, bool backwards, StatementKinds kinds,
                   TextFileWriter& file, IProgress& progress);
    void WriteTable(const TablePair* pair, StatementKinds kinds, TextFileWriter& file,
                    IProgress& progress);
    void WriteReferringRows(const std::vector<DbRecord>& rows,
                            const std::vector<SelfReference>& references, bool insert,
                            const RecordStatementWriter& statements, StatementEmitter& emitter);
    const TablePair* FindPair(const SchemaTable* table) const;
    int WorkEstimate() const;
    // The target tables of the pairs where a modified record differs in an AutoNumber field
    // that is no key; their UPDATEs leave it as it is.
    std::vector<std::wstring> TablesKeepingAutoNumbers() const;
    // The matched fields of a pair (both sides present), in select-list order.
    struct MatchedFields {
        std::vector<std::wstring> names1, names2;
        std::vector<int> keys;
        std::vector<bool> autoNumber;  // the target's field is an AutoNumber
    };
    MatchedFields Matched(const TablePair& pair) const;
    // A key field of the pair has another type on each side.
    static bool KeyTypesDiffer(const TablePair& pair);
    static std::wstring AutoNumberNotice(const std::vector<std::wstring>& tables,
                                         const wchar_t* open, const wchar_t* close);
    void Fail(std::wstring text);
    std::wstring ExplainWriteError(const std::wstring& text) const;

    const DatabaseSchema& schema1_;
    const DatabaseSchema& schema2_;
    ResultStore& store_;
    DataReader& reader_;
    const TablePairList& pairs_;
    bool failed_ = false;
    std::wstring errorText_;
    int direction_;
    std::wstring path_;
    int encoding_;
    bool insert_;
    bool update_;
    bool erase_;
    TaskStopFlag stop_;
    std::unordered_map<const SchemaTable*, const TablePair*> byTable_;
    std::vector<std::wstring> keptAutoNumbers_;
};
