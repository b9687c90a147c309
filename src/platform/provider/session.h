// One open database and the statements run on it: Access SQL is parsed,
// translated and run atomically; a SELECT hands back a cursor. Every ADO
// connection holds one session while it is open.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/provider/cursor.h"
#include "platform/provider/native_store.h"

namespace provider {

class SchemaEditor;

class Session {
public:
    explicit Session(std::unique_ptr<NativeStore> store);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    struct Result {
        std::shared_ptr<Cursor> cursor;  // SELECT only
        long recordsAffected = -1;       // data changes only
    };

    // Runs one statement with its positional parameters. Raises ComError
    // (syntax errors name the statement kind); on failure nothing of the
    // statement stays in the file.
    Result Execute(const std::wstring& text, const std::vector<automation::Variant>& parameters);

    // Runs one schema change (for the catalog objects) atomically, as a
    // statement is run: on failure nothing of it stays in the file.
    void ChangeSchema(const std::function<void(SchemaEditor&)>& change);
    // The catalog as of now (the lock of statements held while it is read).
    const Catalog& CurrentCatalog();

    // A cursor over rows the provider makes itself (schema rowsets).
    std::shared_ptr<Cursor> Rows(const EmittedSelect& select);
    // The rows of one schema rowset (see schema_rowsets.h).
    std::shared_ptr<Cursor> SchemaRowset(long schema,
                                         const std::vector<automation::Variant>& restrictions);

    // One transaction around many statements (ADO's BeginTrans, CommitTrans, RollbackTrans):
    // every change until the end goes in together or not at all. Transactions do not nest.
    // Closing the session with one open rolls it back.
    void BeginTransaction();
    void CommitTransaction();
    void RollbackTransaction();

    // Holds the file against every other writer until the session closes, or until a change is
    // made outside a transaction (see NativeStore::Hold); a transaction begun meanwhile takes
    // the hold over.
    void Hold();

    // Releases every cursor and the store (with its lock).
    void Close();
    bool IsOpen() const { return store_ != nullptr; }
    NativeStore& Store() { return *store_; }

private:
    // Lets the cursor's long reads read the table's pages from the file while the hold lasts
    // (the session releases its cursors before its store closes).
    void ReadPagesWhileHeld(Cursor& cursor);
    // Runs a parsed statement within the caller's transaction, if any; `ownTransaction`: one
    // begun for this statement alone, which a failure rolls back whole.
    Result Run(const sql::Statement& statement, const std::vector<automation::Variant>& parameters,
               bool ownTransaction);
    // The prepared statement of `sql`, kept for the next statement of the
    // same text (SQLite prepares it again itself after a schema change).
    sqlite3_stmt* Prepared(const std::string& sql);
    void ReleasePrepared();
    long RunChange(const std::string& sql, const std::vector<automation::Variant>& parameters);
    long RunInsert(const sql::Insert& insert, const Catalog& catalog,
                   std::vector<automation::Variant>& parameters);
    long RunUpdateOrDelete(const sql::Statement& statement,
                           std::vector<automation::Variant>& values);
    template <class Work>
    void Atomically(Work&& work);
    // One SQLite statement is atomic by itself, its triggers included:
    // it needs no savepoint of its own.
    template <class Work>
    void Single(Work&& work);

    // One connection may serve several threads (the comparison's worker and
    // a view re-reading rows); statements, the catalog and cursor moves are
    // run one at a time. The connection is opened without SQLite's own
    // mutex, so this lock is all that guards it; cursors share it (and may
    // outlive the session).
    std::shared_ptr<std::recursive_mutex> mutex_ = NewLock();
    // A lock on a cache line of its own: the locks of two connections read
    // by two threads would otherwise slow each other down.
    static std::shared_ptr<std::recursive_mutex> NewLock();
    std::unique_ptr<NativeStore> store_;
    std::vector<std::weak_ptr<Cursor>> cursors_;
    std::unordered_map<std::string, sqlite3_stmt*> prepared_;
    // The SQL of INSERT ... VALUES statements by their shape (see session.cpp).
    struct InsertShape {
        long long catalogVersion = -1;
        std::string sql;
        std::vector<automation::Variant> tail;  // bound after the VALUES list's own
        bool counterGiven = false;              // the list gives the table's counter a number
    };
    std::unordered_map<std::wstring, InsertShape> insertShapes_;
    // The same for UPDATE and DELETE statements.
    struct ChangeShape {
        long long catalogVersion = -1;
        std::string sql;
        std::vector<automation::Variant> tail;
    };
    std::unordered_map<std::wstring, ChangeShape> changeShapes_;
};

}  // namespace provider
