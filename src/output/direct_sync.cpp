#include "output/direct_sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "compare/comparison_context.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/table_result.h"
#include "database/schema_index.h"
#include "database/schema_key.h"
#include "database/schema_table.h"
#include "output/key_refusal.h"
#include "database/db_connection.h"
#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/native_store.h"
#include "sqlexec/options.h"
#include "sqlexec/progress.h"
#include "sqlexec/script_executor.h"
#include "sqlexec/script_helper.h"

namespace {

// Closes a descriptor once; the result of an explicit close is checked by the caller.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    bool Close()
    {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Gives the flushed file behind `fd` the name `target`, never over a file of that name. A file
// opened without a name is linked in; one written under `temporary` is renamed.
bool NameFile(int fd, const std::string& temporary, const std::string& target)
{
    if (temporary.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the exclusive rename: a hard link is just as exclusive.
    if (::link(temporary.c_str(), target.c_str()) != 0)
        return false;
    ::unlink(temporary.c_str());
    return true;
}

}  // namespace

// The new name lasts only once the folder's entry is on the disk too.
void FlushFolder(const std::string& folder)
{
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0)
        ::fsync(directory.Get());
}

bool CopyToNewFile(const std::string& source, const std::string& target)
{
    // Refused at once when the name is taken, before anything is copied.
    if (::access(target.c_str(), F_OK) == 0) {
        errno = EEXIST;
        return false;
    }
    const std::string folder = FolderOf(target);
    // A target held for the run is copied as the hold sees it: whole, with what its log holds.
    // Where that takes SQLite's own copy, it is made under a temporary name beside the target.
    std::string part = target + ".part-XXXXXX";
    if (int copied = provider::StoreHandover::CopyKept(source, part); copied != 0) {
        if (copied < 0)
            return false;
        if (!NameFile(-1, part, target)) {
            const int error = errno;
            ::unlink(part.c_str());
            errno = error;
            return false;
        }
        FlushFolder(folder);
        return true;
    }
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0)
        return false;
    const mode_t mode = info.st_mode & 0777;
    // The copy is made in the target's folder without a name (given one through /proc), or,
    // where that cannot be done, under a temporary name beside the target.
    std::string temporary;
    FileDescriptor out(::access("/proc/self/fd", X_OK) == 0
                           ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)
                           : -1);
    if (out.Get() < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return false;
        temporary = target + ".part-XXXXXX";
        out.Reset(::mkostemp(temporary.data(), O_CLOEXEC));
        if (out.Get() < 0)
            return false;
        ::fchmod(out.Get(), mode);
    }
    int error = 0;
    // The held file is read through its connection's own descriptor: one of this function's
    // own would take the hold's locks with it when closed. Only a file no store holds is
    // opened here.
    const int kept = provider::StoreHandover::ReadKeptFile(
        source, [&out](const char* data, size_t size) { return WriteAll(out.Get(), data, size); });
    if (kept < 0)
        error = errno;
    FileDescriptor in(kept == 0 ? ::open(source.c_str(), O_RDONLY | O_CLOEXEC) : -1);
    if (kept == 0 && in.Get() < 0)
        error = errno;
    char buffer[1 << 16];
    for (; in.Get() >= 0 && error == 0;) {
        ssize_t got = ::read(in.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        if (!WriteAll(out.Get(), buffer, static_cast<size_t>(got))) {
            error = errno;
            break;
        }
    }
    if (error == 0 && ::fsync(out.Get()) != 0)
        error = errno;
    if (error == 0 && !NameFile(out.Get(), temporary, target))
        error = errno;
    if (!out.Close() && error == 0)
        error = errno;
    if (error != 0) {
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    FlushFolder(folder);
    return true;
}

DirectSync::DirectSync(int direction, std::wstring scriptPath, bool backup,
                       ComparisonContext& context)
    : direction_(direction), scriptPath_(std::move(scriptPath)), backup_(backup), context_(context)
{
    if (direction == 1)
        target_ = context.Source1().Settings();
    else if (direction == 2)
        target_ = context.Source2().Settings();
    else
        throw std::invalid_argument("Incorrect synchronization direction");
}

DirectSync::~DirectSync() = default;

void DirectSync::Fail(std::wstring text)
{
    failed_ = true;
    errorText_ = std::move(text);
}

std::wstring DirectSync::BackupName(const std::wstring& path, const std::tm& local)
{
    return path + L"." + std::to_wstring(local.tm_year + 1900) + L"." +
           std::to_wstring(local.tm_mon + 1) + L"." + std::to_wstring(local.tm_mday) + L"_" +
           std::to_wstring(local.tm_hour) + L"-" + std::to_wstring(local.tm_min) + L"-" +
           std::to_wstring(local.tm_sec) + L".bkp";
}

std::wstring DirectSync::SyncKeyRefusal() const
{
    // Checked before anything is backed up or written: the target stays as it was.
    ResultStore* store = context_.Store();
    const TablePairList* pairs = context_.PairList();
    return store && pairs ? KeyRefusal(*store, context_.Reader(), *pairs) : std::wstring();
}

bool DirectSync::MakeBackup()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::wstring name = BackupName(target_.path, local);
    errno = 0;
    if (CopyToNewFile(automation::ToUtf8(target_.path), automation::ToUtf8(name)))
        return true;
    std::wstring text = L"Can't create backup.";
    // The system's text follows as a sentence of its own.
    if (errno != 0)
        text += L" " + automation::FromUtf8(std::strerror(errno)) + L".";
    Fail(text);
    return false;
}

void DirectSync::IndexKeys(SQLExecutor::ScriptExecutor& executor) const
{
    const TablePairList* pairs = context_.PairList();
    if (!pairs)
        return;
    const ResultStore* store = context_.Store();
    for (const auto& pair : pairs->Pairs()) {
        if (!pair->Second())
            continue;
        // Only statements that change rows already there look rows up by their key.
        if (store) {
            const TableResult* result = store->FindTableResult(pair.get());
            if (!result)
                continue;
            const std::array<int, 4> counts = result->Counts();
            if (counts[1] == 0 && counts[2] == 0 && counts[3] == 0)
                continue;
        }
        const SchemaTable* table = direction_ == 1 ? pair->First() : pair->Second();
        std::vector<const SchemaField*> keys;
        for (const auto& field : pair->Fields().Pairs())
            if (field->Second() && field->IsKey())
                keys.push_back(direction_ == 1 ? field->First() : field->Second());
        if (keys.empty())
            continue;
        // An index (or a primary or unique key, which has one) whose leading fields are the key
        // fields, in any order, finds the rows.
        auto covers = [&keys](const std::vector<SchemaField*>& columns) {
            if (columns.size() < keys.size())
                return false;
            const auto end = columns.begin() + static_cast<std::ptrdiff_t>(keys.size());
            return std::all_of(keys.begin(), keys.end(), [&](const SchemaField* key) {
                return std::find(columns.begin(), end, key) != end;
            });
        };
        const bool indexed =
            std::any_of(table->Indexes().begin(), table->Indexes().end(),
                        [&](const auto& index) { return covers(index->Columns()); }) ||
            std::any_of(table->Keys().begin(), table->Keys().end(), [&](const auto& key) {
                return key->IsPrimaryOrUnique() && covers(key->Fields());
            });
        if (indexed)
            continue;
        std::vector<std::wstring> names;
        for (const SchemaField* key : keys)
            names.push_back(key->Name());
        executor.IndexDuringRun(table->Name(), names);
    }
}

std::wstring DirectSync::TargetRefusal(const std::wstring& path)
{
    const std::string narrow = automation::ToUtf8(path);
    switch (provider::DetectFileKind(narrow)) {
        case provider::FileKind::Jet3:
        case provider::FileKind::Jet4:
        case provider::FileKind::Ace:
            return L"'" + path +
                   L"' is a genuine Access database and is read-only here: the synchronization "
                   L"cannot change it.";
        case provider::FileKind::Native:
            break;
        default:
            // Opening it says what is wrong.
            return {};
    }
    auto readOnly = [](const std::string& file) {
        return ::access(file.c_str(), W_OK) != 0 &&
               (errno == EACCES || errno == EROFS || errno == EPERM);
    };
    if (readOnly(narrow))
        return L"'" + path + L"' is read-only: the synchronization cannot change it.";
    // The store's lock file and its log are made beside it: beside the name given, and beside
    // the file itself when that name is a link.
    std::string folders[2] = {FolderOf(narrow), {}};
    if (char* real = ::realpath(narrow.c_str(), nullptr)) {
        folders[1] = FolderOf(real);
        std::free(real);
    }
    for (const std::string& folder : folders)
        if (!folder.empty() && readOnly(folder))
            return L"The folder of '" + path +
                   L"' is read-only: the synchronization cannot change the database.";
    return {};
}

void DirectSync::Run(IProgress& progress)
{
    failed_ = false;
    errorText_.clear();
    try {
        if (std::wstring refusal = SyncKeyRefusal(); !refusal.empty()) {
            Fail(std::move(refusal));
            return;
        }
        // A target that the run cannot change is refused before anything is copied.
        if (std::wstring refusal = TargetRefusal(target_.path); !refusal.empty()) {
            Fail(std::move(refusal));
            return;
        }
        // The target stays held from the comparison to the end of the run: no other program
        // can commit into it between them, nor while the backup is taken.
        provider::StoreHandover handover(target_.path);
        context_.CloseConnections();
        try {
            handover.Keep(target_.databasePassword);
        } catch (const automation::ComError& error) {
            // Nothing is copied of a target the run could not hold.
            Fail(L"Can't open database '" + target_.path + L"'\n" + FormatComError(error));
            return;
        }
        if (backup_ && !MakeBackup())
            return;
        SQLExecutor::ScriptHelper script;
        if (!script.Load(scriptPath_)) {
            Fail(L"Can't read SQL script file");
            return;
        }
        Options options;
        options.stopOnError = true;
        // A run that fails part way must not leave the target half synchronised.
        options.allOrNothing = true;
        SQLExecutor::ScriptExecutor executor(target_, script.GetText(), false, options);
        IndexKeys(executor);
        executor.Run(progress);
        if (executor.IsStopped())
            Fail(executor.GetErrorText());
    } catch (const automation::ComError& error) {
        Fail(error.Description().empty() ? L"Database error." : L"Error: " + error.Description());
    } catch (const std::exception& error) {
        Fail(L"Error: " + automation::FromUtf8(error.what()));
    }
}
