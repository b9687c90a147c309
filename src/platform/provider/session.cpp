// Statement execution on a native store.
#include "platform/provider/session.h"

#include <sqlite3.h>

#include "platform/automation/com_error.h"
#include "platform/provider/query_emitter.h"
#include "platform/provider/schema_editor.h"
#include "platform/provider/schema_rowsets.h"
#include "platform/provider/sql/parser.h"
#include "platform/provider/sqlite_util.h"
#include "platform/provider/value_codec.h"

namespace provider {

using automation::ComError;
using automation::Variant;

namespace {

// A LINK TABLE statement as the catalog keeps a link.
TableInfo LinkFrom(const sql::LinkTable& link)
{
    TableInfo t;
    t.name = link.localName;
    t.remoteName = link.remoteName;
    if (link.link == sql::LinkKind::Odbc) {
        t.kind = L"PASS-THROUGH";
        t.linkProvider = link.source;
    } else {
        t.kind = L"LINK";
        t.linkSource = link.source;
    }
    return t;
}

}  // namespace

Session::Session(std::unique_ptr<NativeStore> store) : store_(std::move(store)) {}

Session::~Session()
{
    Close();
}

void Session::Close()
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    for (auto& weak : cursors_)
        if (auto c = weak.lock())
            c->Release();
    cursors_.clear();
    store_.reset();
}

template <class Work>
void Session::Atomically(Work&& work)
{
    store_->RunFixed("SAVEPOINT statement");
    try {
        work();
        store_->RunFixed("RELEASE statement");
    } catch (...) {
        sqlite3_exec(store_->db(), "ROLLBACK TO statement; RELEASE statement", nullptr, nullptr,
                     nullptr);
        store_->InvalidateCatalog();
        store_->Counter().active = false;
        throw;
    }
}

long Session::RunChange(const std::string& sql, const std::vector<Variant>& parameters)
{
    sqlite3* db = store_->db();
    Statement stmt(db, sql);
    int wanted = sqlite3_bind_parameter_count(stmt.get());
    for (int i = 1; i <= wanted; ++i) {
        if (static_cast<size_t>(i) > parameters.size())
            throw ComError(automation::E_FAIL,
                           L"No value given for one or more required parameters.");
        BindNatural(stmt.get(), i, parameters[i - 1]);
    }
    while (stmt.Step()) {
    }
    return static_cast<long>(sqlite3_changes(db));
}

long Session::RunInsert(const sql::Insert& insert, const Catalog& catalog,
                        const std::vector<Variant>& parameters)
{
    QueryEmitter emitter(catalog, sql::StatementKindName(sql::StatementKind::Insert));
    const TableInfo* table = nullptr;
    bool counterGiven = false;
    std::string text = emitter.EmitInsert(insert, table, counterGiven);
    int counter = table->CounterColumn();
    if (counter < 0)
        return RunChange(text, parameters);
    const ColumnInfo& column = table->columns[counter];
    sqlite3* db = store_->db();
    Statement next(db,
                   "SELECT next_counter FROM \"crv.columns\" WHERE table_name = ?1 AND "
                   "name = ?2");
    next.Bind(1, std::wstring_view(table->name)).Bind(2, std::wstring_view(column.name)).Step();
    CounterState& state = store_->Counter();
    state.next = next.IsNull(0) ? column.seed : next.Int64(0);
    state.increment = column.increment;
    state.active = true;
    long affected = RunChange(text, parameters);
    state.active = false;
    // A number given explicitly is never handed out again.
    if (counterGiven) {
        Statement extreme(db, std::string(column.increment > 0 ? "SELECT max(" : "SELECT min(") +
                                  QuoteName(column.name) + ") FROM " + QuoteName(table->name));
        if (extreme.Step() && !extreme.IsNull(0)) {
            int64_t v = extreme.Int64(0);
            if (column.increment > 0 ? v >= state.next : v <= state.next)
                state.next = v + column.increment;
        }
    }
    Statement save(db,
                   "UPDATE \"crv.columns\" SET next_counter = ?3 WHERE table_name = ?1 AND "
                   "name = ?2");
    save.Bind(1, std::wstring_view(table->name))
        .Bind(2, std::wstring_view(column.name))
        .Bind(3, state.next)
        .Step();
    return affected;
}

void Session::ChangeSchema(const std::function<void(SchemaEditor&)>& change)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    store_->RequireWritable(L"a catalog change");
    Atomically([&] {
        SchemaEditor editor(store_->db(), store_->CurrentCatalog());
        change(editor);
    });
}

std::shared_ptr<Cursor> Session::Rows(const EmittedSelect& select)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    auto cursor = std::make_shared<Cursor>(store_->db(), select, std::vector<Variant>{});
    std::erase_if(cursors_, [](const std::weak_ptr<Cursor>& c) { return c.expired(); });
    cursors_.push_back(cursor);
    return cursor;
}

std::shared_ptr<Cursor> Session::SchemaRowset(long schema, const std::vector<Variant>& restrictions)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return Rows(SchemaRowsetQuery(CurrentCatalog(), schema, restrictions));
}

const Catalog& Session::CurrentCatalog()
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    return store_->CurrentCatalog();
}

Session::Result Session::Execute(const std::wstring& text, const std::vector<Variant>& parameters)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    sql::Statement statement = sql::Parse(text);
    const wchar_t* kind = sql::StatementKindName(statement.kind());
    if (static_cast<size_t>(statement.positionalParameters) > parameters.size())
        throw ComError(automation::E_FAIL,
                       L"No value given for one or more required parameters (the " +
                           std::wstring(kind) + L" statement has " +
                           std::to_wstring(statement.positionalParameters) + L").");
    if (statement.kind() != sql::StatementKind::Select)
        store_->RequireWritable(L"the " + std::wstring(kind) + L" statement");
    Result result;
    sqlite3* db = store_->db();
    switch (statement.kind()) {
        case sql::StatementKind::Select: {
            const Catalog& catalog = store_->CurrentCatalog();
            QueryEmitter emitter(catalog, kind);
            EmittedSelect select = emitter.EmitSelect(std::get<sql::Select>(statement.body), true);
            result.cursor = std::make_shared<Cursor>(db, select, parameters);
            std::erase_if(cursors_, [](const std::weak_ptr<Cursor>& c) { return c.expired(); });
            cursors_.push_back(result.cursor);
            return result;
        }
        case sql::StatementKind::Insert:
            Atomically([&] {
                result.recordsAffected = RunInsert(std::get<sql::Insert>(statement.body),
                                                   store_->CurrentCatalog(), parameters);
            });
            return result;
        case sql::StatementKind::Update:
            Atomically([&] {
                QueryEmitter emitter(store_->CurrentCatalog(), kind);
                result.recordsAffected = RunChange(
                    emitter.EmitUpdate(std::get<sql::Update>(statement.body)), parameters);
            });
            return result;
        case sql::StatementKind::Delete:
            Atomically([&] {
                QueryEmitter emitter(store_->CurrentCatalog(), kind);
                result.recordsAffected = RunChange(
                    emitter.EmitDelete(std::get<sql::Delete>(statement.body)), parameters);
            });
            return result;
        case sql::StatementKind::CreateTable:
        case sql::StatementKind::DropTable:
        case sql::StatementKind::CreateIndex:
        case sql::StatementKind::DropIndex:
        case sql::StatementKind::AlterTable:
        case sql::StatementKind::CreateView:
        case sql::StatementKind::DropView:
        case sql::StatementKind::CreateProcedure:
        case sql::StatementKind::DropProcedure:
        case sql::StatementKind::LinkTable:
            Atomically([&] {
                SchemaEditor editor(db, store_->CurrentCatalog());
                std::visit(
                    [&](const auto& body) {
                        using T = std::decay_t<decltype(body)>;
                        if constexpr (std::is_same_v<T, sql::CreateTable>)
                            editor.CreateTable(body);
                        else if constexpr (std::is_same_v<T, sql::DropTable>)
                            editor.DropTable(body);
                        else if constexpr (std::is_same_v<T, sql::CreateIndex>)
                            editor.CreateIndex(body);
                        else if constexpr (std::is_same_v<T, sql::DropIndex>)
                            editor.DropIndex(body);
                        else if constexpr (std::is_same_v<T, sql::AlterTable>)
                            editor.AlterTable(body);
                        else if constexpr (std::is_same_v<T, sql::CreateView>)
                            editor.CreateView(body);
                        else if constexpr (std::is_same_v<T, sql::DropView>)
                            editor.DropQuery(body.name, L"VIEW");
                        else if constexpr (std::is_same_v<T, sql::CreateProcedure>)
                            editor.CreateProcedure(body, statement.parameters);
                        else if constexpr (std::is_same_v<T, sql::DropProcedure>)
                            editor.DropQuery(body.name, L"PROCEDURE");
                        else if constexpr (std::is_same_v<T, sql::LinkTable>)
                            editor.AddLink(LinkFrom(body));
                    },
                    statement.body);
            });
            return result;
        default:
            throw ComError(automation::E_FAIL, L"The " + std::wstring(kind) +
                                                   L" statement is not supported by this provider "
                                                   L"yet.");
    }
}

}  // namespace provider
