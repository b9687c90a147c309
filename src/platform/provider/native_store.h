// One open native store: the SQLite connection, its lock file and its
// catalog. Files are told apart by their first bytes, not their extension.
#pragma once

#include <sys/types.h>

#include <functional>
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

    // Deletes the database at `path` with its log, shared-memory, journal and lock files, only
    // when nobody has it open at this moment: no open of ours (its lock files) and no SQLite
    // connection of any program. False, with everything left as it was, otherwise.
    static bool Delete(const std::wstring& path);

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

    // Holds the file against every other writer, whatever program it is and whether it knows
    // our lock files or not, by keeping SQLite's write lock (an empty write transaction) until
    // EndHold or the close: every read of this connection meanwhile sees the file as it was at
    // the hold's start, and so does every other connection whose read starts while it lasts.
    // A file this user may only read gets a read transaction instead (one state for every read
    // of this connection; other users may still write it). Nothing for genuine files, whose
    // snapshot never changes. Raises ComError when another program is writing the file.
    void Hold();
    bool Holding() const { return holding_; }
    // Lets go of the hold; the connection reads the file as it stands from then on.
    void EndHold();
    // The hold's transaction becomes the caller's (BeginTrans): the changes made in it go in
    // at its commit, and no other writer can commit between the hold and them.
    void AdoptHold() { holding_ = false; }
    // The file itself holds exactly what this connection reads, as far as the connection
    // goes: a hold lasts and nothing has been changed through the connection since it began.
    // (A log whose frames are not all in the file yet is the reader's to check.) Cheap enough
    // to ask for every row read.
    bool HoldsFileAsRead() const;

    // The close of a session: the store closes, or is kept for a handover (see StoreHandover).
    static void Close(std::unique_ptr<NativeStore> store);

private:
    NativeStore() = default;
    static std::unique_ptr<NativeStore> OpenGenuine(const std::wstring& path, bool exclusive,
                                                    const std::wstring& password);
    // Takes the lock of the file at `path_`: its lock file, or, in a folder where none can be
    // made or opened, the lock among this process's connections. False for the latter.
    bool TakeLock();
    // The store kept for a handover of the file at `path`, if any (see StoreHandover).
    static std::unique_ptr<NativeStore> TakeKept(const std::string& path);
    friend class StoreHandover;

    sqlite3* db_ = nullptr;
    std::wstring path_;
    FileLock lock_;
    Catalog catalog_;
    long long schemaVersion_ = -1;
    bool kept_ = false;             // see KeepCatalog
    unsigned int keptVersion_ = 0;  // the file's data version when the catalog was kept
    bool exclusive_ = false;
    bool holding_ = false;
    int64_t heldChanges_ = 0;  // the connection's count of changed rows when the hold began
    // The file SQLite opened for it, among the files this process has open (see DetectFileKind).
    void NoteOpenFile(const std::string& path);
    bool noted_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    CounterState counter_;
    std::map<const char*, sqlite3_stmt*> fixed_;  // by the statement's literal text
    std::shared_ptr<GenuineSnapshot> snapshot_;   // genuine files only
    std::shared_ptr<void> processLock_;           // genuine files in read-only folders
};

// Keeps the held store of one file from its close to its next open in this process: while the
// handover lives, closing a store of that file that holds it (see NativeStore::Hold) keeps the
// store open, with its locks and its hold, and the next open of the file (by any of its names)
// is given that store as it stands. So the comparison hands the target of a synchronisation to
// the run without any moment in which another program could commit into it. A store nobody
// took closes with the handover.
class StoreHandover {
public:
    explicit StoreHandover(const std::wstring& path);
    ~StoreHandover();
    StoreHandover(const StoreHandover&) = delete;
    StoreHandover& operator=(const StoreHandover&) = delete;

    // A kept store of the file, opening and holding one now when none was kept (exclusively,
    // with `password`). False for a genuine file, which nothing can change; raises the open's
    // ComError when the file cannot be opened and held so.
    bool Keep(const std::wstring& password);
    bool Kept() const;
    // Readies the backup copy of the store kept for the file at `databasePath` as its hold sees
    // it (committed log content included): 0 when the file itself now holds that state, or no
    // native store of it is kept (the caller copies the file itself); 1 when it had to be copied
    // through SQLite's backup into a new file made from the mkstemp pattern `temporary`, which
    // then names that whole, flushed file for the caller to rename; -1 when that failed, with
    // errno set and nothing left behind.
    static int CopyKept(const std::string& databasePath, std::string& temporary);
    // Where CopyKept gave 0: the file of the store kept for `databasePath` as it stands, handed
    // to `take` piece by piece, read through the kept connection's own descriptor of the file (one
    // of the caller's own would, once closed, take every lock the connection holds on the file
    // with it). 1 when read whole; 0 when no store of it is kept (the caller reads the file, which
    // then no connection of this process holds); -1 when reading failed or `take` said no (errno
    // set).
    static int ReadKeptFile(const std::string& databasePath,
                            const std::function<bool(const char*, size_t)>& take);

    struct Entry;

private:
    std::wstring path_;
    Entry* entry_;
};

// The description of a file that is no database this provider reads.
std::wstring UnrecognisedFormatText(const std::wstring& path);

}  // namespace provider
