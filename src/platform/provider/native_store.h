// One open native store: the SQLite connection, its lock file and its
// catalog. Files are told apart by their first bytes, not their extension.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/provider/catalog.h"
#include "platform/provider/file_lock.h"
#include "platform/provider/sql_functions.h"

struct sqlite3;
struct sqlite3_stmt;

namespace provider {

class GenuineSnapshot;

enum class FileKind { Missing, Unreadable, Native, Jet3, Jet4, Ace, Unknown };

// Unreadable: the file is there but cannot be opened for reading; errno says why.
FileKind DetectFileKind(const std::string& path);

class NativeStore {
public:
    // Makes a new empty store; fails when the file exists.
    static void Create(const std::wstring& path, const std::wstring& password);

    // Opens a store, taking its lock (exclusive or shared) and checking the
    // database password. Raises ComError with a description on failure.
    static std::unique_ptr<NativeStore> Open(const std::wstring& path, bool exclusive,
                                             const std::wstring& password);

    ~NativeStore();
    NativeStore(const NativeStore&) = delete;
    NativeStore& operator=(const NativeStore&) = delete;

    sqlite3* db() const { return db_; }
    const std::wstring& path() const { return path_; }

    // The catalog as of the file's current schema version (another connection
    // may have changed it since the last statement).
    const Catalog& CurrentCatalog();
    // The version CurrentCatalog last read: equal versions, equal catalogs.
    long long CatalogVersion() const { return schemaVersion_; }
    // Forces a re-read at the next CurrentCatalog (after a rolled-back change).
    void InvalidateCatalog()
    {
        schemaVersion_ = -1;
        kept_ = false;
    }
    // Says that the catalog is the file's as it stands now: this connection has just committed a
    // change of rows alone, made against the catalog it read in the same transaction. The next
    // CurrentCatalog, made inside a transaction, then reads no version when nothing has been
    // committed to the file since (by this connection or any other).
    void KeepCatalog();

    // Runs a fixed statement without results, prepared once per connection.
    void RunFixed(const char* sql);

    // Sets or clears the database password (stored as a salted hash).
    void SetPassword(const std::wstring& password);
    // Replaces the password, given the present one (empty: none), as DAO's
    // Database.NewPassword does; the store must be held exclusively.
    void ChangePassword(const std::wstring& oldPassword, const std::wstring& newPassword);
    bool Exclusive() const { return exclusive_; }

    // A genuine Access file is read through a private snapshot and never
    // changed: every change raises ComError saying so; `what` names it.
    bool ReadOnly() const { return snapshot_ != nullptr; }
    void RequireWritable(const std::wstring& what) const;

    // The numbering state of the INSERT being run on this connection.
    CounterState& Counter() { return counter_; }

private:
    NativeStore() = default;
    static std::unique_ptr<NativeStore> OpenGenuine(const std::wstring& path, bool exclusive,
                                                    const std::wstring& password);
    // Takes the lock of the file at `path_`: its lock file, or, in a folder where none can be
    // made or opened, the lock among this process's connections. False for the latter.
    bool TakeLock();

    sqlite3* db_ = nullptr;
    std::wstring path_;
    FileLock lock_;
    Catalog catalog_;
    long long schemaVersion_ = -1;
    bool kept_ = false;             // see KeepCatalog
    unsigned int keptVersion_ = 0;  // the file's data version when the catalog was kept
    bool exclusive_ = false;
    CounterState counter_;
    std::map<const char*, sqlite3_stmt*> fixed_;  // by the statement's literal text
    std::shared_ptr<GenuineSnapshot> snapshot_;   // genuine files only
    std::shared_ptr<void> processLock_;           // genuine files in read-only folders
};

// The description of a file that is no database this provider reads.
std::wstring UnrecognisedFormatText(const std::wstring& path);

}  // namespace provider
