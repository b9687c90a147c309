// Creating and opening native stores: header recognition, lock, password.
#include "platform/provider/native_store.h"

#include <cryptopp/hex.h>
#include <cryptopp/osrng.h>
#include <cryptopp/sha.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>  // renameat2
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/genuine_snapshot.h"
#include "platform/provider/process_lock.h"
#include "platform/provider/sql_functions.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

using automation::ComError;
using automation::E_FAIL;

namespace {

constexpr const char* kFormatVersion = "1";

std::string Hex(const std::string& bytes)
{
    std::string out;
    CryptoPP::StringSource(bytes, true, new CryptoPP::HexEncoder(new CryptoPP::StringSink(out)));
    return out;
}

std::string PasswordHash(const std::string& salt, const std::wstring& password)
{
    std::string input = salt + automation::ToUtf8(password);
    std::string digest(CryptoPP::SHA256::DIGESTSIZE, '\0');
    CryptoPP::SHA256().CalculateDigest(reinterpret_cast<CryptoPP::byte*>(digest.data()),
                                       reinterpret_cast<const CryptoPP::byte*>(input.data()),
                                       input.size());
    return Hex(digest);
}

std::string NewSalt()
{
    std::string salt(16, '\0');
    CryptoPP::AutoSeededRandomPool rng;
    rng.GenerateBlock(reinterpret_cast<CryptoPP::byte*>(salt.data()), salt.size());
    return Hex(salt);
}

void WritePassword(sqlite3* db, const std::wstring& password)
{
    if (password.empty()) {
        ExecSql(db, "DELETE FROM \"crv.properties\" WHERE name = 'password'");
        return;
    }
    std::string salt = NewSalt();
    Statement put(db,
                  "INSERT OR REPLACE INTO \"crv.properties\"(name, value) "
                  "VALUES ('password', ?1)");
    put.Bind(1, salt + ":" + PasswordHash(salt, password));
    put.Step();
}

// `strict`: with no password set, only the empty password matches (changing
// the password); otherwise any given one is ignored, as Jet does on open.
bool PasswordMatches(sqlite3* db, const std::wstring& password, bool strict = false)
{
    Statement get(db, "SELECT value FROM \"crv.properties\" WHERE name = 'password'");
    if (!get.Step())
        return !strict || password.empty();
    std::string stored = automation::ToUtf8(get.Text(0));
    size_t colon = stored.find(':');
    if (colon == std::string::npos)
        return false;
    return PasswordHash(stored.substr(0, colon), password) == stored.substr(colon + 1);
}

void Configure(sqlite3* db, CounterState* counter)
{
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    // A page cache of 8 MB per connection: enough to keep big statements from
    // spilling to the log page by page, small enough that a long read of a large
    // table (which passes every page once) does not hold the table in memory.
    // No memory-mapped reads: mapped pages count as resident for as long as the
    // connection lives, so the memory of a whole-table read would grow with the
    // table; reading through the page cache costs no measurable time.
    ExecSql(db,
            "PRAGMA foreign_keys = OFF; PRAGMA synchronous = NORMAL; "
            "PRAGMA cache_size = -8192; PRAGMA mmap_size = 0;");
    // A checkpoint syncs the log and the file, and waiting for the disk is much of the time of a
    // script of small statements. A row of a table with a key writes two pages (the row and its
    // index entry), so the log is checkpointed every 2000 pages rather than SQLite's 1000: as
    // many statements between two syncs as a table without an index would have.
    ExecSql(db, "PRAGMA wal_autocheckpoint = 2000;");
    RegisterSqlFunctions(db, counter);
}

// An SQLite URI that reads the file at `path` as it stands, without its lock or
// shared-memory files.
std::string ImmutableUri(const std::string& path)
{
    std::string uri = "file:";
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// A log keeps its write lock in its shared-memory file, named after the name the file was
// opened by: a program that opens the file by another of its names (a hard link) writes a log of
// its own, unhindered by any lock on the first. A file of several names is therefore switched,
// when nobody else uses it, to SQLite's rollback journal, whose locks live in the file itself,
// which every name shares. It is never switched back: its names may meet again.
void KeepLocksInTheFile(sqlite3* db, const std::string& path)
{
    struct stat file;
    if (::stat(path.c_str(), &file) != 0 || file.st_nlink < 2)
        return;
    // Leaving the log needs the file alone; an open that finds it in use keeps the log for now.
    sqlite3_busy_timeout(db, 0);
    sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, 5000);
}

// The files this process has open through SQLite, by device and inode. A descriptor of such a
// file that is opened and closed again takes every lock the process holds on it with it (SQLite's
// among them), so what has to be known of one is not read from a descriptor of its own.
std::mutex& OpenFilesMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::pair<dev_t, ino_t>>& OpenFiles()
{
    static std::vector<std::pair<dev_t, ino_t>> files;
    return files;
}

bool OpenHere(dev_t device, ino_t inode)
{
    std::lock_guard<std::mutex> lock(OpenFilesMutex());
    return std::find(OpenFiles().begin(), OpenFiles().end(), std::make_pair(device, inode)) !=
           OpenFiles().end();
}

}  // namespace

FileKind DetectFileKind(const std::string& path)
{
    // A file a native store of this process has open is one.
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && OpenHere(named.st_dev, named.st_ino))
        return FileKind::Native;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        FileKind kind = access(path.c_str(), F_OK) == 0 ? FileKind::Unreadable : FileKind::Missing;
        errno = error;
        return kind;
    }
    char head[32] = {};
    ssize_t n = ::read(fd, head, sizeof head);
    int error = errno;
    ::close(fd);
    if (n < 0) {
        errno = error;
        return FileKind::Unreadable;
    }
    if (n >= 16 && std::memcmp(head, "SQLite format 3", 16) == 0)
        return FileKind::Native;
    if (n >= 21 && std::memcmp(head + 4, "Standard Jet DB", 15) == 0)
        return head[20] == 0 ? FileKind::Jet3 : FileKind::Jet4;
    if (n >= 19 && std::memcmp(head + 4, "Standard ACE DB", 15) == 0)
        return FileKind::Ace;
    return FileKind::Unknown;
}

std::wstring UnrecognisedFormatText(const std::wstring& path)
{
    return L"Unrecognized database format '" + path + L"'.";
}

struct StoreHandover::Entry {
    dev_t device = 0;
    ino_t inode = 0;
    std::unique_ptr<NativeStore> kept;
};

namespace {

std::mutex& HandoverMutex()
{
    static std::mutex m;
    return m;
}

std::vector<StoreHandover::Entry*>& Handovers()
{
    static std::vector<StoreHandover::Entry*> entries;
    return entries;
}

bool Identity(const std::string& path, dev_t& device, ino_t& inode)
{
    struct stat file;
    if (::stat(path.c_str(), &file) != 0)
        return false;
    device = file.st_dev;
    inode = file.st_ino;
    return true;
}

StoreHandover::Entry* HandoverOf(const std::string& path)
{
    dev_t device;
    ino_t inode;
    if (!Identity(path, device, inode))
        return nullptr;
    for (StoreHandover::Entry* entry : Handovers())
        if (entry->device == device && entry->inode == inode)
            return entry;
    return nullptr;
}

// The store kept for the file at `path` by a handover, if any; it stays the handover's.
NativeStore* KeptStoreOf(const std::string& path)
{
    std::lock_guard<std::mutex> lock(HandoverMutex());
    StoreHandover::Entry* entry = Handovers().empty() ? nullptr : HandoverOf(path);
    return entry ? entry->kept.get() : nullptr;
}

}  // namespace

std::unique_ptr<NativeStore> NativeStore::TakeKept(const std::string& path)
{
    std::lock_guard<std::mutex> lock(HandoverMutex());
    if (Handovers().empty())
        return nullptr;
    StoreHandover::Entry* entry = HandoverOf(path);
    return entry ? std::move(entry->kept) : nullptr;
}

void NativeStore::Close(std::unique_ptr<NativeStore> store)
{
    if (store && store->holding_ && store->exclusive_ && store->db_) {
        std::lock_guard<std::mutex> lock(HandoverMutex());
        if (!Handovers().empty()) {
            const char* file = sqlite3_db_filename(store->db_, "main");
            StoreHandover::Entry* entry = file ? HandoverOf(file) : nullptr;
            if (entry && !entry->kept) {
                entry->kept = std::move(store);
                return;
            }
        }
    }
    store.reset();
}

void NativeStore::Hold()
{
    if (holding_ || snapshot_ || !db_ || !sqlite3_get_autocommit(db_))
        return;
    const bool readOnly = sqlite3_db_readonly(db_, "main") == 1;
    int rc = sqlite3_exec(db_, readOnly ? "BEGIN; SELECT count(*) FROM sqlite_master;"
                                        : "BEGIN IMMEDIATE",
                          nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (!sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
            throw ComError(E_FAIL, L"Could not use '" + path_ +
                                       L"'; another program is writing to it.");
        ThrowSqliteError(db_, rc);
    }
    holding_ = true;
    heldChanges_ = sqlite3_total_changes64(db_);
}

bool NativeStore::HoldsFileAsRead() const
{
    return holding_ && db_ && sqlite3_total_changes64(db_) == heldChanges_;
}

void NativeStore::EndHold()
{
    if (!holding_)
        return;
    holding_ = false;
    // The hold wrote nothing: its end commits nothing.
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

StoreHandover::StoreHandover(const std::wstring& path) : path_(path), entry_(new Entry)
{
    std::lock_guard<std::mutex> lock(HandoverMutex());
    if (!Identity(automation::ToUtf8(path), entry_->device, entry_->inode)) {
        delete entry_;
        entry_ = nullptr;
        return;
    }
    Handovers().push_back(entry_);
}

StoreHandover::~StoreHandover()
{
    if (!entry_)
        return;
    std::unique_ptr<NativeStore> kept;
    {
        std::lock_guard<std::mutex> lock(HandoverMutex());
        std::erase(Handovers(), entry_);
        kept = std::move(entry_->kept);
    }
    delete entry_;
    kept.reset();
}

bool StoreHandover::Kept() const
{
    std::lock_guard<std::mutex> lock(HandoverMutex());
    return entry_ && entry_->kept;
}

bool StoreHandover::Keep(const std::wstring& password)
{
    if (!entry_)
        return false;
    if (Kept())
        return true;
    std::unique_ptr<NativeStore> store = NativeStore::Open(path_, true, password);
    store->Hold();
    if (!store->Holding())
        return false;
    NativeStore::Close(std::move(store));
    return Kept();
}

int StoreHandover::ReadKeptFile(const std::string& databasePath,
                                const std::function<bool(const char*, size_t)>& take)
{
    NativeStore* kept = KeptStoreOf(databasePath);
    sqlite3_file* file = nullptr;
    if (!kept || !kept->db() ||
        sqlite3_file_control(kept->db(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return 0;
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size < 0) {
        errno = EIO;
        return -1;
    }
    std::vector<char> buffer(1 << 16);
    for (sqlite3_int64 at = 0; at < size;) {
        const int part = static_cast<int>(std::min<sqlite3_int64>(size - at, buffer.size()));
        if (file->pMethods->xRead(file, buffer.data(), part, at) != SQLITE_OK) {
            errno = EIO;
            return -1;
        }
        if (!take(buffer.data(), static_cast<size_t>(part)))
            return -1;
        at += part;
    }
    return 1;
}

int StoreHandover::CopyKept(const std::string& databasePath, std::string& temporary)
{
    // The kept store is used by the thread of its handover alone.
    NativeStore* kept = KeptStoreOf(databasePath);
    if (!kept || kept->ReadOnly())
        return 0;
    struct stat source {};
    const char* file = sqlite3_db_filename(kept->db(), "main");
    if (!file || ::stat(file, &source) != 0)
        return 0;
    // Nothing can be committed while the hold lasts, so a checkpoint that takes the whole log
    // leaves the file itself holding the held state: the caller copies it as it is.
    if (LogWhollyInFile(file, false))
        return 0;
    // A reader of an older state keeps part of the log out of the file: the copy is then made
    // page by page, by a reader that sees the held state (SQLite copies from no connection that
    // holds a write transaction).
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    ::fchmod(fd, source.st_mode & 0777);
    const std::string& target = temporary;
    int error = 0;
    sqlite3* reader = nullptr;
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(file, &reader, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_open_v2(target.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", reader, "main");
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            int finished = sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = finished;
        } else {
            rc = sqlite3_errcode(copy);
        }
    }
    if (rc != SQLITE_OK)
        error = (rc & 0xff) == SQLITE_FULL ? ENOSPC : EIO;
    if (sqlite3_close(copy) != SQLITE_OK && !error)
        error = EIO;
    sqlite3_close(reader);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error) {
        ::unlink(target.c_str());
        ::unlink((target + "-journal").c_str());
        errno = error;
        return -1;
    }
    return 1;
}

// The store is written under a temporary name in the target's folder and takes its own name only
// when it is whole: a process killed half-way leaves no empty or half-made database behind that
// name, only a hidden temporary file.
void NativeStore::Create(const std::wstring& path, const std::wstring& password)
{
    std::string narrow = automation::ToUtf8(path);
    auto alreadyExists = [&] {
        return ComError(E_FAIL, L"Database '" + path + L"' already exists.");
    };
    auto cannotCreate = [&](int error) {
        return ComError(E_FAIL, L"Could not create database '" + path + L"': " +
                                    automation::FromUtf8(std::strerror(error)) + L".");
    };
    if (::access(narrow.c_str(), F_OK) == 0)
        throw alreadyExists();
    int fd = -1;
    std::string temporary;
    const size_t slash = narrow.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : narrow.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? narrow : narrow.substr(slash + 1);
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + "." + name + ".new-" + NewSalt().substr(0, 12);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            throw cannotCreate(errno);
    }
    if (fd < 0)
        throw cannotCreate(EEXIST);
    sqlite3* db = nullptr;
    try {
        int rc = sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc != SQLITE_OK)
            ThrowSqliteError(db, rc);
        ExecSql(db, "PRAGMA journal_mode = WAL; BEGIN;");
        Catalog::CreateSchema(db);
        ExecSql(db, std::string("INSERT INTO \"crv.properties\"(name, value) VALUES "
                                "('format', ") +
                        kFormatVersion + ");");
        WritePassword(db, password);
        ExecSql(db, "COMMIT;");
        rc = sqlite3_close(db);
        db = nullptr;
        if (rc != SQLITE_OK || ::fsync(fd) != 0)
            throw cannotCreate(rc != SQLITE_OK ? EIO : errno);
        // A log or journal left under the name by a file that is gone would be read into the
        // new store as its own: nobody can be using them without the file.
        if (::access(narrow.c_str(), F_OK) != 0)
            for (const char* suffix : {"-wal", "-shm", "-journal"})
                ::unlink((narrow + suffix).c_str());
        // Never over a file that appeared meanwhile: the name is taken only when it is free.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, narrow.c_str(), RENAME_NOREPLACE) !=
            0) {
            if (errno == EEXIST)
                throw alreadyExists();
            if (errno != EINVAL && errno != ENOSYS)
                throw cannotCreate(errno);
            // A file system without the exclusive rename: a hard link is just as exclusive.
            if (::link(temporary.c_str(), narrow.c_str()) != 0)
                throw errno == EEXIST ? alreadyExists() : cannotCreate(errno);
            ::unlink(temporary.c_str());
        }
        ::close(fd);
    } catch (...) {
        if (db)
            sqlite3_close(db);
        ::close(fd);
        ::unlink(temporary.c_str());
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            ::unlink((temporary + suffix).c_str());
        throw;
    }
}

bool NativeStore::Delete(const std::wstring& path)
{
    const std::string narrow = automation::ToUtf8(path);
    // In a folder where no lock file can be made, no file can be deleted either.
    FileLock lock;
    if (!lock.Acquire(narrow, FileLock::Mode::Exclusive))
        return false;
    const std::string name = lock.OpenPath();
    // A program that knows nothing of our lock files holds SQLite's shared lock on the file as
    // long as it has it open; an exclusive lock is had only when nobody has.
    sqlite3* db = nullptr;
    if (DetectFileKind(narrow) == FileKind::Native) {
        int rc = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;",
                              nullptr, nullptr, nullptr);
        // A damaged file that SQLite cannot read is in nobody's use either: it may go.
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
            sqlite3_close(db);
            return false;
        }
    }
    // The name typed goes with its log, journal and shared memory: nothing of the old file is
    // left for a new one of that name to inherit. A file that lives on under another name (a
    // link) is first closed, so that its log goes into it rather than away with this name.
    struct stat named {};
    const bool lives = ::lstat(narrow.c_str(), &named) == 0 &&
                       (S_ISLNK(named.st_mode) || named.st_nlink > 1);
    if (db && lives) {
        sqlite3_close(db);
        db = nullptr;
    }
    const bool deleted = ::unlink(narrow.c_str()) == 0;
    if (db)
        sqlite3_close(db);
    if (deleted && (name == narrow || ::access(name.c_str(), F_OK) != 0))
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            ::unlink((name + suffix).c_str());
    if (deleted && !lives)
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            ::unlink((narrow + suffix).c_str());
    lock.Release();
    if (deleted)
        ::unlink(FileLock::LockPathOf(FileLock::ResolvedPath(narrow)).c_str());
    return deleted;
}

std::unique_ptr<NativeStore> NativeStore::Open(const std::wstring& path, bool exclusive,
                                               const std::wstring& password)
{
    std::string narrow = automation::ToUtf8(path);
    if (std::unique_ptr<NativeStore> kept = TakeKept(narrow)) {
        if (!PasswordMatches(kept->db_, password)) {
            NativeStore::Close(std::move(kept));
            throw ComError(E_FAIL, L"Not a valid password.");
        }
        kept->path_ = path;
        return kept;
    }
    switch (DetectFileKind(narrow)) {
        case FileKind::Missing:
            throw ComError(E_FAIL, L"Could not find file '" + path + L"'.");
        case FileKind::Unreadable:
            throw ComError(E_FAIL, L"Could not read file '" + path + L"': " +
                                       automation::FromUtf8(std::strerror(errno)) + L".");
        case FileKind::Native:
            break;
        case FileKind::Jet3:
        case FileKind::Jet4:
        case FileKind::Ace:
            return OpenGenuine(path, exclusive, password);
        default:
            throw ComError(E_FAIL, UnrecognisedFormatText(path));
    }
    std::unique_ptr<NativeStore> store(new NativeStore);
    store->path_ = path;
    store->exclusive_ = exclusive;
    // A store that this user may not write, or whose folder holds no lock file for it, is
    // read: opened read-only, and a WAL store whose shared-memory file cannot be made there is
    // read as it stands (nobody can be writing it without that file).
    const bool locked = store->TakeLock();
    const bool readOnly = !locked || access(narrow.c_str(), W_OK) != 0;
    // A file of several names is opened by the one every other open of it uses.
    if (locked)
        narrow = store->lock_.OpenPath();
    // Every use of the connection is serialised by its session's lock, so
    // SQLite's own mutex (taken on every column read) is left out.
    int rc = sqlite3_open_v2(
        narrow.c_str(), &store->db_,
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        ThrowSqliteError(store->db_, rc);
    store->NoteOpenFile(narrow);
    auto probe = [&] {
        Configure(store->db_, &store->counter_);
        Statement probe(store->db_,
                        "SELECT count(*) FROM sqlite_master WHERE name = 'crv.properties'");
        probe.Step();
        return probe.Int(0) != 0;
    };
    bool recognised = false;
    try {
        recognised = probe();
    } catch (const ComError&) {
        if (!readOnly)
            throw;
        sqlite3_close_v2(store->db_);
        store->db_ = nullptr;
        rc = sqlite3_open_v2(ImmutableUri(narrow).c_str(), &store->db_,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            ThrowSqliteError(store->db_, rc);
        recognised = probe();
    }
    if (!recognised)
        throw ComError(E_FAIL, UnrecognisedFormatText(path));
    if (!PasswordMatches(store->db_, password))
        throw ComError(E_FAIL, L"Not a valid password.");
    if (!readOnly)
        KeepLocksInTheFile(store->db_, narrow);
    return store;
}

bool NativeStore::TakeLock()
{
    const std::string narrow = automation::ToUtf8(path_);
    // The lock file beside the database; where none can be made or opened (a
    // read-only folder) the lock holds within this process only.
    if (lock_.Acquire(narrow, exclusive_ ? FileLock::Mode::Exclusive : FileLock::Mode::Shared))
        return true;
    int error = errno;
    if (error != EACCES && error != EROFS && error != EPERM)
        throw ComError(E_FAIL, error == EWOULDBLOCK
                                   ? L"Could not use '" + path_ +
                                         L"'; file already in use (opened exclusively by "
                                         L"another user, or opened by others while an "
                                         L"exclusive open was asked for)."
                                   : L"Could not lock '" + path_ + L"': " +
                                         automation::FromUtf8(std::strerror(error)) + L".");
    // Every name of the file meets the same lock: its identity, or its resolved path.
    std::string key = FileLock::IdentityLockPathOf(narrow);
    processLock_ = ProcessLock::Acquire(key.empty() ? FileLock::ResolvedPath(narrow) : key,
                                        exclusive_);
    if (!processLock_)
        throw ComError(E_FAIL, L"Could not use '" + path_ +
                                   L"'; file already in use (opened exclusively in this "
                                   L"program, or opened while an exclusive open was asked "
                                   L"for).");
    return false;
}

std::unique_ptr<NativeStore> NativeStore::OpenGenuine(const std::wstring& path, bool exclusive,
                                                      const std::wstring& password)
{
    std::string narrow = automation::ToUtf8(path);
    std::unique_ptr<NativeStore> store(new NativeStore);
    store->path_ = path;
    store->exclusive_ = exclusive;
    store->TakeLock();
    store->snapshot_ = GenuineSnapshot::Acquire(path, password);
    // Serialised by the session's lock, as a native store's connection is.
    int rc = sqlite3_open_v2(store->snapshot_->StorePath().c_str(), &store->db_,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        ThrowSqliteError(store->db_, rc);
    Configure(store->db_, &store->counter_);
    return store;
}

void NativeStore::RequireWritable(const std::wstring& what) const
{
    if (snapshot_)
        throw ComError(E_FAIL, L"'" + path_ +
                                   L"' is a genuine Access database and is read-only here: " +
                                   what + L" cannot change it.");
}

NativeStore::~NativeStore()
{
    holding_ = false;
    for (auto& [text, stmt] : fixed_)
        sqlite3_finalize(stmt);
    if (db_)
        sqlite3_close_v2(db_);
    if (noted_) {
        std::lock_guard<std::mutex> lock(OpenFilesMutex());
        auto& files = OpenFiles();
        auto at = std::find(files.begin(), files.end(), std::make_pair(device_, inode_));
        if (at != files.end())
            files.erase(at);
    }
    lock_.Release();
}

void NativeStore::NoteOpenFile(const std::string& path)
{
    struct stat opened {};
    if (noted_ || ::stat(path.c_str(), &opened) != 0)
        return;
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
    noted_ = true;
    std::lock_guard<std::mutex> lock(OpenFilesMutex());
    OpenFiles().emplace_back(device_, inode_);
}

void NativeStore::RunFixed(const char* sql)
{
    sqlite3_stmt*& stmt = fixed_[sql];
    if (!stmt) {
        int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        if (rc != SQLITE_OK)
            ThrowSqliteError(db_, rc);
    }
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        ThrowSqliteError(db_, rc);
}

namespace {

// The counter SQLite moves whenever anything is committed to the main file, by this connection
// or by another (as seen from the transaction open on this one).
unsigned int DataVersion(sqlite3* db)
{
    unsigned int version = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK)
        return 0;
    return version;
}

}  // namespace

void NativeStore::KeepCatalog()
{
    if (schemaVersion_ < 0)
        return;
    keptVersion_ = DataVersion(db_);
    kept_ = keptVersion_ != 0;
}

const Catalog& NativeStore::CurrentCatalog()
{
    // Kept for one read only: a change of the catalog this connection makes and has not yet
    // committed leaves the data version as it is, and every such change starts by reading the
    // catalog. Outside a transaction the version is as of the last one, not of the file.
    if (kept_) {
        kept_ = false;
        if (sqlite3_txn_state(db_, "main") != SQLITE_TXN_NONE && DataVersion(db_) == keptVersion_)
            return catalog_;
    }
    // SQLite's schema version moves with every table or index change; the
    // catalog version with every change made to the catalog rows alone. Two
    // kept statements: the pragma table function would compile a statement
    // of its own on every read. Read apart, they can only make the catalog
    // look changed once too often: it is loaded after both are read.
    static const char* const kSchemaVersion = "PRAGMA schema_version";
    static const char* const kCatalogVersion =
        "SELECT value FROM \"crv.properties\" WHERE name = 'catalog_version'";
    auto read = [this](const char* sql) {
        sqlite3_stmt*& stmt = fixed_[sql];
        if (!stmt) {
            int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
            if (rc != SQLITE_OK)
                ThrowSqliteError(db_, rc);
        }
        int rc = sqlite3_step(stmt);
        long long v = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_reset(stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            ThrowSqliteError(db_, rc);
        return v;
    };
    long long v = read(kSchemaVersion) + 1000000000LL * read(kCatalogVersion);
    if (v != schemaVersion_) {
        catalog_.Load(db_);
        schemaVersion_ = v;
    }
    return catalog_;
}

void NativeStore::SetPassword(const std::wstring& password)
{
    RequireWritable(L"setting the database password");
    WritePassword(db_, password);
}

void NativeStore::ChangePassword(const std::wstring& oldPassword, const std::wstring& newPassword)
{
    RequireWritable(L"changing the database password");
    // As Jet: only a database held exclusively, and only with its present password.
    if (!exclusive_)
        throw ComError(E_FAIL,
                       L"You can't change the database password unless the database is "
                       L"opened exclusively.");
    if (!PasswordMatches(db_, oldPassword, true))
        throw ComError(E_FAIL, L"Not a valid password.");
    if (newPassword.size() > 20)
        throw ComError(E_FAIL, L"The database password can have at most 20 characters.");
    RunFixed("SAVEPOINT password");
    try {
        SetPassword(newPassword);
        RunFixed("RELEASE password");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK TO password; RELEASE password", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace provider
