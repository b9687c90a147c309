// Statement execution on a native store.
#include "platform/provider/session.h"

#include <sqlite3.h>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
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

// The shape of an INSERT ... VALUES whose every value is a literal, a
// negated literal or a ?: statements of one shape on one catalog emit the
// same SQL, as every literal is bound as a parameter. The bound values of the
// list's literals are appended to `own`, as the emitter binds them.
bool ShapeOf(const sql::Insert& insert, size_t positional, std::wstring& key,
             std::vector<Variant>& own)
{
    if (insert.select)
        return false;
    key = insert.table;
    key += L'\x1';
    for (const std::wstring& c : insert.columns) {
        key += c;
        key += L'\x1';
    }
    key += std::to_wstring(positional);
    for (const sql::ExprPtr& value : insert.values) {
        const sql::Expr* e = value.get();
        bool negated = false;
        if (e->kind == sql::ExprKind::Unary && e->op == sql::Op::Negate && e->args.size() == 1 &&
            e->args[0]->kind == sql::ExprKind::Literal) {
            negated = true;
            e = e->args[0].get();
        }
        if (e->kind == sql::ExprKind::Parameter && !negated && e->parameterIndex >= 0) {
            key += L'\x1';
            key += L'?';
            key += std::to_wstring(e->parameterIndex);
        } else if (e->kind == sql::ExprKind::Literal) {
            key += negated ? L'-' : L'+';
            key += static_cast<wchar_t>(L'A' + e->value.vt());
            QueryEmitter::InsertedLiteralValues(*e, negated, own);
        } else {
            return false;
        }
    }
    return true;
}

// The shape of an expression of fields, literals, negated literals and ? joined by operators,
// NOT and IS NULL, as ShapeOf's of an INSERT's values: one shape on one catalog emits the same
// SQL when every literal is bound. The literals' bound values go to `own`, in the emitter's order.
bool ExprShape(const sql::Expr& e, std::wstring& key, std::vector<Variant>& own)
{
    switch (e.kind) {
        case sql::ExprKind::Literal:
            key += L'L';
            key += static_cast<wchar_t>(L'A' + e.value.vt());
            QueryEmitter::InsertedLiteralValues(e, false, own);
            return true;
        case sql::ExprKind::Parameter:
            if (e.parameterIndex < 0)
                return false;
            key += L'?';
            key += std::to_wstring(e.parameterIndex);
            key += L'\x1';
            return true;
        case sql::ExprKind::Column:
            key += L'C';
            key += e.qualifier;
            key += L'.';
            key += e.name;
            key += L'\x1';
            return true;
        case sql::ExprKind::Unary:
            if (e.args.size() != 1)
                return false;
            if (e.op == sql::Op::Negate && e.args[0]->kind == sql::ExprKind::Literal) {
                key += L'N';
                key += static_cast<wchar_t>(L'A' + e.args[0]->value.vt());
                QueryEmitter::InsertedLiteralValues(*e.args[0], true, own);
                return true;
            }
            if (e.op != sql::Op::Not)
                return false;
            key += L'!';
            return ExprShape(*e.args[0], key, own);
        case sql::ExprKind::IsNull:
            if (e.args.size() != 1)
                return false;
            key += e.negated ? L'n' : L'i';
            return ExprShape(*e.args[0], key, own);
        case sql::ExprKind::Binary:
            key += L'(';
            key += static_cast<wchar_t>(L'A' + static_cast<int>(e.op));
            for (const sql::ExprPtr& arg : e.args)
                if (!ExprShape(*arg, key, own))
                    return false;
            key += L')';
            return true;
        default:
            return false;
    }
}

// The shape of an UPDATE of one table or of a DELETE, whose assigned values and condition are
// such expressions: the changes a synchronisation script is made of.
bool ShapeOf(const sql::Statement& statement, std::wstring& key, std::vector<Variant>& own)
{
    const sql::Expr* where = nullptr;
    if (statement.kind() == sql::StatementKind::Update) {
        const sql::Update& update = std::get<sql::Update>(statement.body);
        if (!update.table || update.table->kind != sql::TableRefKind::Table)
            return false;
        key = L"U";
        key += update.table->name;
        key += L'\x1';
        key += update.table->alias;
        for (const sql::Assignment& a : update.assignments) {
            key += L'\x1';
            key += a.qualifier;
            key += L'.';
            key += a.column;
            key += L'=';
            if (!ExprShape(*a.value, key, own))
                return false;
        }
        where = update.where.get();
    } else if (statement.kind() == sql::StatementKind::Delete) {
        const sql::Delete& del = std::get<sql::Delete>(statement.body);
        key = L"D";
        key += del.table;
        key += L'\x1';
        key += del.alias;
        where = del.where.get();
    } else {
        return false;
    }
    key += L"\x1W";
    if (where && !ExprShape(*where, key, own))
        return false;
    key += L'\x1';
    key += std::to_wstring(statement.positionalParameters);
    return true;
}

}  // namespace

std::shared_ptr<std::recursive_mutex> Session::NewLock()
{
    struct alignas(128) Padded {
        std::recursive_mutex mutex;
        char rest[128 - sizeof(std::recursive_mutex)];
    };
    auto padded = std::make_shared<Padded>();
    return std::shared_ptr<std::recursive_mutex>(padded, &padded->mutex);
}

Session::Session(std::unique_ptr<NativeStore> store) : store_(std::move(store)) {}

Session::~Session()
{
    Close();
}

void Session::Close()
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    for (auto& weak : cursors_)
        if (auto c = weak.lock())
            c->Release();
    cursors_.clear();
    ReleasePrepared();
    NativeStore::Close(std::move(store_));
}

void Session::Hold()
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    store_->Hold();
}

void Session::BeginTransaction()
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    store_->RequireWritable(L"a transaction");
    // The write lock held against other writers is the transaction's: nobody can commit
    // between the hold and the changes made in it.
    if (store_->Holding()) {
        store_->AdoptHold();
        return;
    }
    if (!sqlite3_get_autocommit(store_->db()))
        throw ComError(automation::E_FAIL, L"A transaction is already active.");
    store_->RunFixed("BEGIN IMMEDIATE");
}

void Session::CommitTransaction()
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_ || sqlite3_get_autocommit(store_->db()))
        throw ComError(automation::E_FAIL, L"No transaction is active.");
    try {
        store_->RunFixed("COMMIT");
    } catch (...) {
        // A commit that fails (a full disk) leaves nothing half done.
        if (!sqlite3_get_autocommit(store_->db()))
            sqlite3_exec(store_->db(), "ROLLBACK", nullptr, nullptr, nullptr);
        store_->InvalidateCatalog();
        throw;
    }
}

void Session::RollbackTransaction()
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_ || sqlite3_get_autocommit(store_->db()))
        throw ComError(automation::E_FAIL, L"No transaction is active.");
    // Cursors reading inside the transaction would keep the rollback from finishing.
    for (auto& weak : cursors_)
        if (auto c = weak.lock())
            c->Release();
    cursors_.clear();
    ReleasePrepared();
    store_->RunFixed("ROLLBACK");
    store_->InvalidateCatalog();
}

sqlite3_stmt* Session::Prepared(const std::string& sql)
{
    auto found = prepared_.find(sql);
    if (found != prepared_.end())
        return found->second;
    // Scripts of many shapes would otherwise keep every one of them.
    constexpr size_t kMaxPrepared = 256;
    if (prepared_.size() >= kMaxPrepared)
        ReleasePrepared();
    sqlite3_stmt* stmt = nullptr;
    int rc = PrepareStatement(store_->db(), sql, SQLITE_PREPARE_PERSISTENT, &stmt);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        ThrowSqliteError(store_->db(), rc);
    }
    prepared_.emplace(sql, stmt);
    return stmt;
}

void Session::ReleasePrepared()
{
    for (auto& [text, stmt] : prepared_)
        sqlite3_finalize(stmt);
    prepared_.clear();
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

template <class Work>
void Session::Single(Work&& work)
{
    try {
        work();
    } catch (...) {
        store_->Counter().active = false;
        throw;
    }
}

long Session::RunChange(const std::string& sql, const std::vector<Variant>& parameters)
{
    sqlite3* db = store_->db();
    sqlite3_stmt* stmt = Prepared(sql);
    // A kept statement is left reset and without values, so it holds no lock
    // and no copy of the last statement's values.
    struct Idle {
        sqlite3_stmt* stmt;
        ~Idle()
        {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
        }
    } idle{stmt};
    int wanted = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= wanted; ++i) {
        if (static_cast<size_t>(i) > parameters.size())
            throw ComError(automation::E_FAIL,
                           L"No value given for one or more required parameters.");
        BindNatural(stmt, i, parameters[i - 1]);
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        ThrowSqliteError(db, rc);
    return static_cast<long>(sqlite3_changes(db));
}

namespace {

// One use of a statement the session keeps: bound, stepped, and left reset and without values.
class KeptUse {
public:
    KeptUse(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~KeptUse()
    {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    KeptUse(const KeptUse&) = delete;
    KeptUse& operator=(const KeptUse&) = delete;

    KeptUse& Bind(int index, std::wstring_view text)
    {
        const std::string utf8 = automation::ToUtf8(text);
        sqlite3_bind_text(stmt_, index, utf8.data(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    KeptUse& Bind(int index, int64_t value)
    {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    // True while a row is available; raises ComError on failure.
    bool Step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        ThrowSqliteError(db_, rc);
    }
    bool IsNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    int64_t Int64(int col) const { return sqlite3_column_int64(stmt_, col); }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

}  // namespace

long Session::RunInsert(const sql::Insert& insert, const Catalog& catalog,
                        std::vector<Variant>& parameters)
{
    std::wstring key;
    std::vector<Variant> own;
    bool shaped = ShapeOf(insert, parameters.size(), key, own);
    const TableInfo* table = nullptr;
    bool counterGiven = false;
    std::string text;
    bool kept = false;
    if (shaped) {
        auto found = insertShapes_.find(key);
        if (found != insertShapes_.end() &&
            found->second.catalogVersion == store_->CatalogVersion() &&
            (table = catalog.FindTable(insert.table)) != nullptr) {
            parameters.insert(parameters.end(), own.begin(), own.end());
            parameters.insert(parameters.end(), found->second.tail.begin(),
                              found->second.tail.end());
            if (table->CounterColumn() < 0)
                return RunChange(found->second.sql, parameters);
            text = found->second.sql;
            counterGiven = found->second.counterGiven;
            kept = true;
        }
    }
    if (!kept) {
        const size_t first = parameters.size();
        QueryEmitter emitter(catalog, sql::StatementKindName(sql::StatementKind::Insert));
        // Every literal of a VALUES list is bound: a script's INSERTs that differ
        // only in their values then share one prepared statement. In a SELECT an
        // integer literal can mean a column (ORDER BY 1), so there only doubles are.
        emitter.BindLiterals(insert.select ? QueryEmitter::LiteralBinding::Doubles
                                           : QueryEmitter::LiteralBinding::All,
                             &parameters);
        text = emitter.EmitInsert(insert, table, counterGiven);
        // Kept only when the emitter bound what the shape says it binds.
        bool same = shaped && parameters.size() >= first + own.size();
        for (size_t i = 0; same && i < own.size(); ++i)
            same = parameters[first + i].vt() == own[i].vt();
        if (same) {
            constexpr size_t kMaxShapes = 256;
            if (insertShapes_.size() >= kMaxShapes)
                insertShapes_.clear();
            insertShapes_[key] = {
                store_->CatalogVersion(), text,
                std::vector<Variant>(parameters.begin() + first + own.size(), parameters.end()),
                counterGiven};
        }
    }
    int counter = table->CounterColumn();
    if (counter < 0)
        return RunChange(text, parameters);
    // The counter's statements are kept as the INSERT's are: a script of INSERTs into a table
    // with a counter runs them for every row.
    const ColumnInfo& column = table->columns[counter];
    sqlite3* db = store_->db();
    CounterState& state = store_->Counter();
    {
        KeptUse next(db, Prepared("SELECT next_counter FROM \"crv.columns\" WHERE table_name = "
                                  "?1 AND name = ?2"));
        next.Bind(1, std::wstring_view(table->name)).Bind(2, std::wstring_view(column.name));
        next.Step();
        state.next = next.IsNull(0) ? column.seed : next.Int64(0);
    }
    state.increment = column.increment;
    state.active = true;
    long affected = RunChange(text, parameters);
    state.active = false;
    // A number given explicitly is never handed out again.
    if (counterGiven) {
        KeptUse extreme(db,
                        Prepared(std::string(column.increment > 0 ? "SELECT max(" : "SELECT min(") +
                                 QuoteName(column.name) + ") FROM " + QuoteName(table->name)));
        if (extreme.Step() && !extreme.IsNull(0)) {
            int64_t v = extreme.Int64(0);
            if (column.increment > 0 ? v >= state.next : v <= state.next)
                state.next = v + column.increment;
        }
    }
    KeptUse save(db, Prepared("UPDATE \"crv.columns\" SET next_counter = ?3 WHERE table_name = "
                              "?1 AND name = ?2"));
    save.Bind(1, std::wstring_view(table->name))
        .Bind(2, std::wstring_view(column.name))
        .Bind(3, state.next)
        .Step();
    return affected;
}

long Session::RunUpdateOrDelete(const sql::Statement& statement, std::vector<Variant>& values)
{
    std::wstring key;
    std::vector<Variant> own;
    const bool shaped = ShapeOf(statement, key, own);
    // Brings the catalog's version up to date with the file, which another connection may
    // have changed.
    const Catalog& catalog = store_->CurrentCatalog();
    if (shaped) {
        auto found = changeShapes_.find(key);
        if (found != changeShapes_.end() &&
            found->second.catalogVersion == store_->CatalogVersion()) {
            values.insert(values.end(), own.begin(), own.end());
            values.insert(values.end(), found->second.tail.begin(), found->second.tail.end());
            return RunChange(found->second.sql, values);
        }
    }
    const size_t first = values.size();
    QueryEmitter emitter(catalog, sql::StatementKindName(statement.kind()));
    // A statement of a shape binds every literal, so that the statements of a script that differ
    // only in their values share one prepared statement; others bind only doubles, as a
    // subquery's integer may mean a column.
    emitter.BindLiterals(
        shaped ? QueryEmitter::LiteralBinding::All : QueryEmitter::LiteralBinding::Doubles,
        &values);
    const std::string sql = statement.kind() == sql::StatementKind::Update
                                ? emitter.EmitUpdate(std::get<sql::Update>(statement.body))
                                : emitter.EmitDelete(std::get<sql::Delete>(statement.body));
    // Kept only when the emitter bound what the shape says it binds.
    bool same = shaped && values.size() >= first + own.size();
    for (size_t i = 0; same && i < own.size(); ++i)
        same = values[first + i].vt() == own[i].vt();
    if (same) {
        constexpr size_t kMaxShapes = 256;
        if (changeShapes_.size() >= kMaxShapes)
            changeShapes_.clear();
        changeShapes_[key] = {
            store_->CatalogVersion(), sql,
            std::vector<Variant>(values.begin() + first + own.size(), values.end())};
    }
    return RunChange(sql, values);
}

void Session::ChangeSchema(const std::function<void(SchemaEditor&)>& change)
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    store_->RequireWritable(L"a catalog change");
    // A change made outside a transaction goes in at once: a hold would keep it from committing.
    store_->EndHold();
    Atomically([&] {
        SchemaEditor editor(store_->db(), store_->CurrentCatalog());
        change(editor);
    });
}

void Session::ReadPagesWhileHeld(Cursor& cursor)
{
    const NativeStore* store = store_.get();
    cursor.ReadPagesWhile([store] { return store->HoldsFileAsRead(); });
}

std::shared_ptr<Cursor> Session::Rows(const EmittedSelect& select)
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    auto cursor = std::make_shared<Cursor>(store_->db(), select, std::vector<Variant>{}, mutex_);
    ReadPagesWhileHeld(*cursor);
    std::erase_if(cursors_, [](const std::weak_ptr<Cursor>& c) { return c.expired(); });
    cursors_.push_back(cursor);
    return cursor;
}

std::shared_ptr<Cursor> Session::SchemaRowset(long schema, const std::vector<Variant>& restrictions)
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    return Rows(SchemaRowsetQuery(CurrentCatalog(), schema, restrictions));
}

const Catalog& Session::CurrentCatalog()
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    return store_->CurrentCatalog();
}

Session::Result Session::Execute(const std::wstring& text, const std::vector<Variant>& parameters)
{
    std::lock_guard<std::recursive_mutex> hold(*mutex_);
    if (!store_)
        throw ComError(automation::E_FAIL, L"Operation is not allowed when the object is closed.");
    sql::Statement statement = sql::Parse(text);
    const wchar_t* kind = sql::StatementKindName(statement.kind());
    if (static_cast<size_t>(statement.positionalParameters) > parameters.size())
        throw ComError(automation::E_FAIL,
                       L"No value given for one or more required parameters (the " +
                           std::wstring(kind) + L" statement has " +
                           std::to_wstring(statement.positionalParameters) + L").");
    if (statement.kind() != sql::StatementKind::Select && store_->ReadOnly())
        store_->RequireWritable(L"the " + std::wstring(kind) + L" statement");
    // A change made outside a transaction goes in at once: a hold would keep it from committing.
    if (statement.kind() != sql::StatementKind::Select)
        store_->EndHold();
    sqlite3* db = store_->db();
    bool change = statement.kind() == sql::StatementKind::Insert ||
                  statement.kind() == sql::StatementKind::Update ||
                  statement.kind() == sql::StatementKind::Delete;
    if (!change || !sqlite3_get_autocommit(db))
        return Run(statement, parameters, false);
    // Reading the catalog's version and making the change in one write
    // transaction takes the log's locks once instead of twice.
    store_->RunFixed("BEGIN IMMEDIATE");
    try {
        Result result = Run(statement, parameters, true);
        store_->RunFixed("COMMIT");
        store_->KeepCatalog();
        return result;
    } catch (...) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        store_->InvalidateCatalog();
        throw;
    }
}

Session::Result Session::Run(const sql::Statement& statement,
                             const std::vector<Variant>& parameters, bool ownTransaction)
{
    const wchar_t* kind = sql::StatementKindName(statement.kind());
    Result result;
    sqlite3* db = store_->db();
    // The user's values take ?1..?n; literals bound by the emitter follow them.
    std::vector<Variant> values(parameters.begin(),
                                parameters.begin() + statement.positionalParameters);
    switch (statement.kind()) {
        case sql::StatementKind::Select: {
            const Catalog& catalog = store_->CurrentCatalog();
            QueryEmitter emitter(catalog, kind);
            emitter.BindLiterals(QueryEmitter::LiteralBinding::Doubles, &values);
            EmittedSelect select = emitter.EmitSelect(std::get<sql::Select>(statement.body), true);
            result.cursor = std::make_shared<Cursor>(db, select, values, mutex_);
            ReadPagesWhileHeld(*result.cursor);
            std::erase_if(cursors_, [](const std::weak_ptr<Cursor>& c) { return c.expired(); });
            cursors_.push_back(result.cursor);
            return result;
        }
        case sql::StatementKind::Insert: {
            const sql::Insert& insert = std::get<sql::Insert>(statement.body);
            const Catalog& catalog = store_->CurrentCatalog();
            const TableInfo* table = catalog.FindTable(insert.table);
            // Numbering a counter takes statements of its own around the INSERT: a savepoint
            // keeps them one, unless the statement has a transaction of its own.
            if (table && (table->CounterColumn() < 0 || ownTransaction)) {
                Single([&] { result.recordsAffected = RunInsert(insert, catalog, values); });
            } else {
                Atomically([&] {
                    result.recordsAffected = RunInsert(insert, store_->CurrentCatalog(), values);
                });
            }
            return result;
        }
        case sql::StatementKind::Update:
        case sql::StatementKind::Delete:
            Single([&] { result.recordsAffected = RunUpdateOrDelete(statement, values); });
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
