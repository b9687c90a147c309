#include "output/script_file_writer.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "compare/data_reader.h"
#include "compare/record_reader.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "database/database_schema.h"
#include "output/foreign_key_order.h"
#include "output/key_refusal.h"
#include "output/record_statement_writer.h"
#include "output/self_reference_order.h"
#include "output/statement_emitter.h"
#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "sqlexec/progress.h"
#include "sqlexec/text_file_writer.h"

ScriptFileWriter::ScriptFileWriter(const DatabaseSchema& schema1, const DatabaseSchema& schema2,
                                   ResultStore& store, DataReader& reader,
                                   const TablePairList& pairs, std::wstring path, int encoding,
                                   int direction, bool insert, bool update, bool erase)
    : schema1_(schema1),
      schema2_(schema2),
      store_(store),
      reader_(reader),
      pairs_(pairs),
      direction_(direction),
      path_(std::move(path)),
      encoding_(encoding),
      insert_(insert),
      update_(update),
      erase_(erase)
{
    // Database1 tables first: a Database2 table that is some pair's second never shadows the
    // pair of a Database1 table of the same object.
    for (const auto& pair : pairs_.Pairs()) {
        byTable_.emplace(pair->First(), pair.get());
    }
    for (const auto& pair : pairs_.Pairs()) {
        if (pair->Second())
            byTable_.emplace(pair->Second(), pair.get());
    }
}

ScriptFileWriter::~ScriptFileWriter() = default;

void ScriptFileWriter::RequestStop()
{
    stop_.Request();
    store_.Abort();
}

void ScriptFileWriter::Fail(std::wstring text)
{
    failed_ = true;
    errorText_ = std::move(text);
}

const TablePair* ScriptFileWriter::FindPair(const SchemaTable* table) const
{
    auto it = byTable_.find(table);
    return it == byTable_.end() ? nullptr : it->second;
}

int ScriptFileWriter::WorkEstimate() const
{
    const long long total = static_cast<long long>(StoredItemCount(pairs_, store_)) *
                            (int(insert_) + int(update_) + int(erase_));
    return static_cast<int>(std::min<long long>(total, 0x7fffffff));
}

void ScriptFileWriter::Run(IProgress& progress)
{
    failed_ = false;
    errorText_.clear();
    keptAutoNumbers_.clear();
    // A cancelled earlier task leaves the store's abort flag set.
    if (!stop_.IsRequested())
        store_.ResetAbort();
    try {
        if (std::wstring refusal = KeyRefusal(store_, &reader_, pairs_); !refusal.empty()) {
            Fail(std::move(refusal));
            return;
        }
    } catch (const automation::ComError& error) {
        Fail(error.Description().empty() ? L"Database error." : L"Error: " + error.Description());
        return;
    } catch (const std::exception& error) {
        Fail(L"Error: " + automation::FromUtf8(error.what()));
        return;
    }
    TextFileWriter file(path_, encoding_);
    if (!file.Open()) {
        Fail(file.GetError().empty() ? std::wstring(L"Can't create file.") : file.GetError());
        return;
    }
    try {
        keptAutoNumbers_ = update_ ? TablesKeepingAutoNumbers() : std::vector<std::wstring>();
        std::wstring header = std::wstring(L"-- Corvina ") + kVersion + L"\r\n\r\n";
        if (!keptAutoNumbers_.empty())
            header += L"-- " + AutoNumberNotice(keptAutoNumbers_, L"[", L"]") + L"\r\n\r\n";
        if (!file.Write(header))
            throw ScriptWriteError(file.GetError());
        progress.SetTotal(WorkEstimate());
        const DatabaseSchema& target = direction_ == 1 ? schema1_ : schema2_;
        std::vector<SchemaTable*> order = ForeignKeyOrder(target.Tables());
        bool going = (!insert_ || WritePass(order, false, {true, false, false}, file, progress)) &&
                     (!update_ || WritePass(order, true, {false, true, false}, file, progress)) &&
                     (!erase_ || WritePass(order, true, {false, false, true}, file, progress));
        if (!file.Close()) {
            Fail(L"Can't write file");
            return;
        }
        if (going)
            progress.Done();
    } catch (const ScriptWriteError& error) {
        Fail(ExplainWriteError(error.Text()));
    } catch (const automation::ComError& error) {
        Fail(error.Description().empty() ? L"Database error." : L"Error: " + error.Description());
    } catch (const std::exception& error) {
        Fail(L"Error: " + automation::FromUtf8(error.what()));
    }
    if (failed_) {
        // An incomplete script must not be mistaken for a whole one later; a file that was
        // there before keeps its old content.
        file.Discard();
    }
}

std::wstring ScriptFileWriter::ExplainWriteError(const std::wstring& text) const
{
    if (encoding_ == TextFileWriter::kAnsi && text.find(L"cannot be written") != std::wstring::npos)
        return text + L". Save the script as UTF-8 to keep every character.";
    return text.empty() ? std::wstring(L"Can't write file") : text;
}

bool ScriptFileWriter::WritePass(const std::vector<SchemaTable*>& order, bool backwards,
                                 StatementKinds kinds, TextFileWriter& file, IProgress& progress)
{
    auto visit = [&](SchemaTable* table) {
        if (const TablePair* pair = FindPair(table))
            WriteTable(pair, kinds, file, progress);
        return !stop_.IsRequested();
    };
    if (backwards) {
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if (!visit(*it))
                return false;
    } else {
        for (SchemaTable* table : order)
            if (!visit(table))
                return false;
    }
    return true;
}

void ScriptFileWriter::WriteTable(const TablePair* pair, StatementKinds kinds, TextFileWriter& file,
                                  IProgress& progress)
{
    if (!pair || !pair->Second())
        return;
    // A pair that the comparison did not reach has no result and no record readers.
    if (!store_.FindTableResult(pair))
        return;
    MatchedFields matched = Matched(*pair);
    const std::vector<std::wstring>& names1 = matched.names1;
    const std::vector<std::wstring>& names2 = matched.names2;
    const std::vector<int>& keys = matched.keys;
    RecordReaderPair& readers = reader_.GetTableRecords(pair);
    HeldReads held1(*readers.reader1), held2(*readers.reader2);
    const SchemaTable* table = direction_ == 1 ? pair->First() : pair->Second();
    RecordStatementWriter statements(table->Name(), direction_ == 1 ? names1 : names2, keys);
    statements.SetAutoNumberFields(std::move(matched.autoNumber));
    StatementEmitter emitter(statements, file);
    std::vector<SelfReference> references =
        FindSelfReferences(*table, direction_ == 1 ? names1 : names2, keys);
    std::vector<DbRecord> rows;
    if (!references.empty() && (kinds.insert || kinds.erase))
        emitter.Collect(&rows);
    auto visitor = RecordKindVisitor::ForTarget(direction_, emitter, kinds, *readers.reader1,
                                                *readers.reader2, progress,
                                                kinds.update && KeyTypesDiffer(*pair));
    store_.VisitTable(pair, *visitor);
    if (!rows.empty())
        WriteReferringRows(rows, references, kinds.insert, statements, emitter);
}

// Key fields of two types meet by the comparison's rule (a single at a single's precision),
// which need not be the target's own equality with the source's literal: an UPDATE of such a
// pair then finds its row by the target's key value, read with it.
bool ScriptFileWriter::KeyTypesDiffer(const TablePair& pair)
{
    for (const auto& field : pair.Fields().Pairs())
        if (field->Second() && field->IsKey() && field->First()->Type() != field->Second()->Type())
            return true;
    return false;
}

ScriptFileWriter::MatchedFields ScriptFileWriter::Matched(const TablePair& pair) const
{
    MatchedFields m;
    for (const auto& field : pair.Fields().Pairs()) {
        if (!field->Second())
            continue;
        if (field->IsKey())
            m.keys.push_back(static_cast<int>(m.names1.size()));
        m.names1.push_back(field->First()->Name());
        m.names2.push_back(field->Second()->Name());
        m.autoNumber.push_back(
            (direction_ == 1 ? field->First() : field->Second())->IsAutoincrement());
    }
    return m;
}

namespace {

// Whether any modified record of a pair differs in one of the given fields.
class DiffersInFields : public StoredItemVisitor {
public:
    explicit DiffersInFields(std::vector<int> fields) : fields_(std::move(fields)) {}
    bool Found() const { return found_; }
    void VisitEqual(EqualSideRecordItem&) override {}
    void VisitModified(ModifiedDiffItem& item) override
    {
        for (int field : fields_)
            found_ = found_ || item.Contains(field);
    }
    void VisitSecondOnly(SecondSideRecordItem&) override {}
    void VisitFirstOnly(SideRecordItem&) override {}

private:
    std::vector<int> fields_;
    bool found_ = false;
};

}  // namespace

std::vector<std::wstring> ScriptFileWriter::TablesKeepingAutoNumbers() const
{
    std::vector<std::wstring> tables;
    const DatabaseSchema& target = direction_ == 1 ? schema1_ : schema2_;
    for (const auto& table : target.Tables()) {
        const TablePair* pair = FindPair(table.get());
        if (!pair || !pair->Second() || !store_.FindTableResult(pair))
            continue;
        const MatchedFields matched = Matched(*pair);
        std::vector<int> fields;
        for (size_t i = 0; i < matched.autoNumber.size(); ++i)
            if (matched.autoNumber[i] && std::find(matched.keys.begin(), matched.keys.end(),
                                                   static_cast<int>(i)) == matched.keys.end())
                fields.push_back(static_cast<int>(i));
        if (fields.empty())
            continue;
        DiffersInFields differs(std::move(fields));
        store_.VisitTable(pair, differs);
        if (differs.Found())
            tables.push_back(table->Name());
    }
    return tables;
}

std::wstring ScriptFileWriter::AutoNumberNotice(const std::vector<std::wstring>& tables,
                                                const wchar_t* open, const wchar_t* close)
{
    std::wstring names;
    for (const auto& table : tables)
        names += (names.empty() ? L"" : L", ") + (open + table + close);
    return L"An AutoNumber field cannot be changed, so rows of these tables keep AutoNumber "
           L"values that differ from the source: " +
           names;
}

std::wstring ScriptFileWriter::Notice() const
{
    return keptAutoNumbers_.empty() ? std::wstring() : AutoNumberNotice(keptAutoNumbers_, L"", L"");
}

// The rows of a table that refers to itself, in key order as the comparison found them, are
// written parents first (INSERT) or children first (DELETE), so that no statement meets a
// missing or a still referring row. A row of a cycle is inserted with empty references that an
// UPDATE sets after the table's other INSERTs; before DELETEs its references are emptied.
void ScriptFileWriter::WriteReferringRows(const std::vector<DbRecord>& rows,
                                          const std::vector<SelfReference>& references, bool insert,
                                          const RecordStatementWriter& statements,
                                          StatementEmitter& emitter)
{
    SelfReferenceOrder order = ParentsFirst(rows, references);
    const std::vector<int> referring = ReferringColumns(references);
    auto withoutReferences = [&](const DbRecord& row) {
        DbRecord copy = row;
        for (int c : referring)
            copy.SetValue(static_cast<size_t>(c), automation::Variant::Null());
        return copy;
    };
    if (insert) {
        for (size_t i : order.order)
            emitter.Write(
                statements.Insert(order.broken[i] ? withoutReferences(rows[i]) : rows[i]));
        for (size_t i : order.order)
            if (order.broken[i])
                emitter.Write(statements.SetFields(rows[i], referring));
        return;
    }
    for (size_t i : order.order)
        if (order.broken[i])
            emitter.Write(statements.SetFields(withoutReferences(rows[i]), referring));
    for (auto it = order.order.rbegin(); it != order.order.rend(); ++it)
        emitter.Write(statements.Delete(rows[*it]));
}
