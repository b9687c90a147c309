#include "output/direct_sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "compare/comparison_context.h"
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

// Copies source to a new file `target`; fails with errno set when `target` exists. A copy that
// fails half way is removed, so no partial backup is ever left looking whole.
bool CopyToNewFile(const std::string& source, const std::string& target)
{
    // A target held for the run is copied as the hold sees it: whole, with what its log holds.
    if (int copied = provider::StoreHandover::CopyKept(source, target); copied != 0)
        return copied > 0;
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0)
        return false;
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0)
        return false;
    FileDescriptor out(
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777));
    if (out.Get() < 0)
        return false;
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        ssize_t got = ::read(in.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!WriteAll(out.Get(), buffer, static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out.Get()) == 0;
    int saved = errno;
    ok = out.Close() && ok;
    if (!ok) {
        if (errno == 0)
            errno = saved;
        saved = errno;
        ::unlink(target.c_str());
        errno = saved;
    }
    return ok;
}

}  // namespace

DirectSync::DirectSync(int direction, std::wstring scriptPath, bool backup,
                       ComparisonContext& context)
    : scriptPath_(std::move(scriptPath)), backup_(backup), context_(context)
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

void DirectSync::Run(IProgress& progress)
{
    failed_ = false;
    errorText_.clear();
    try {
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
        executor.Run(progress);
        if (executor.IsStopped())
            Fail(executor.GetErrorText());
    } catch (const automation::ComError& error) {
        Fail(error.Description().empty() ? L"Database error." : L"Error: " + error.Description());
    } catch (const std::exception& error) {
        Fail(L"Error: " + automation::FromUtf8(error.what()));
    }
}
