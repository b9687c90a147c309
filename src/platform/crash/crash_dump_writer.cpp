// Everything reached from the signal handler uses async-signal-safe calls only: no allocation,
// no stdio, no locks. What needs those (finding the folder and the program, loading the
// unwinder) happens at installation.
#include "platform/crash/crash_dump_writer.h"

#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/ui/message_box.h"

extern char** environ;

namespace crash {
namespace {

enum class PathState { kNotInstalled, kReady, kNoFolder, kTooLong };

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

char g_dumpPath[PATH_MAX];
char g_dumpFileName[NAME_MAX + 1];
PathState g_pathState = PathState::kNotInstalled;

// The thread that is writing a dump; 0 while none is.
std::atomic<pid_t> g_handlingThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "must be usable from a signal handler");

// Room to run the handler after a stack overflow on the installing (UI) thread.
alignas(16) char g_alternateStack[64 * 1024];

// The program that shows the message box, and what it is started with; empty when the message
// goes to standard error. The environment is the process's own, with the message added.
char g_boxProgram[PATH_MAX];
char g_boxMessage[sizeof kCrashMessageVariable + 1 + CrashDumpWriter::kMessageCapacity];
constexpr size_t kMaxBoxEnvironment = 1024;
char* g_boxEnvironment[kMaxBoxEnvironment];

// --- async-signal-safe formatting ------------------------------------------------------------

// Writes a whole buffer, going on after partial writes and interruptions.
bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool WriteText(int fd, const char* text)
{
    return WriteAll(fd, text, strlen(text));
}

// Decimal or hexadecimal digits of `value` into `out` (at least 24 bytes), zero-terminated.
const char* FormatNumber(unsigned long long value, unsigned base, char* out, size_t size)
{
    char* p = out + size - 1;
    *p = '\0';
    do {
        *--p = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0 && p > out);
    return p;
}

bool WriteDecimal(int fd, long long value)
{
    char digits[24];
    if (value < 0 && !WriteText(fd, "-"))
        return false;
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    return WriteText(fd, FormatNumber(magnitude, 10, digits, sizeof digits));
}

bool WriteHex(int fd, unsigned long long value)
{
    char digits[24];
    return WriteText(fd, "0x") && WriteText(fd, FormatNumber(value, 16, digits, sizeof digits));
}

const char* SignalName(int signal)
{
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}

// Copies a file (the memory map) to `fd` with read and write.
bool CopyFileContents(const char* path, int fd)
{
    const int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return WriteText(fd, "(unavailable)\n");
    char buffer[4096];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (!WriteAll(fd, buffer, size_t(n))) {
            ok = false;
            break;
        }
    }
    close(in);
    return ok;
}

bool WriteDumpBody(int fd, int signal, const siginfo_t* info)
{
    bool ok = WriteText(fd, g_dumpFileName) && WriteText(fd, " crash dump\n");
    ok = ok && WriteText(fd, "signal: ") && WriteDecimal(fd, signal) && WriteText(fd, " (") &&
         WriteText(fd, SignalName(signal)) && WriteText(fd, ")\n");
    if (info) {
        ok =
            ok && WriteText(fd, "code: ") && WriteDecimal(fd, info->si_code) && WriteText(fd, "\n");
        // The fault address exists only for faults the kernel raised (positive codes); a
        // signal sent by kill, raise or abort carries its sender instead.
        if (info->si_code > 0) {
            ok = ok && WriteText(fd, "fault address: ") &&
                 WriteHex(fd, reinterpret_cast<unsigned long long>(info->si_addr)) &&
                 WriteText(fd, "\n");
        } else {
            ok = ok && WriteText(fd, "sent by process: ") && WriteDecimal(fd, info->si_pid) &&
                 WriteText(fd, "\n");
        }
    }
    ok = ok && WriteText(fd, "process: ") && WriteDecimal(fd, getpid()) &&
         WriteText(fd, "\nthread: ") && WriteDecimal(fd, gettid()) &&
         WriteText(fd, "\n\nbacktrace:\n");
    void* frames[128];
    const int count = backtrace(frames, 128);
    if (ok)
        backtrace_symbols_fd(frames, count, fd);  // reports no failure of its own
    ok = ok && WriteText(fd, "\nmemory map:\n") && CopyFileContents("/proc/self/maps", fd);
    return ok;
}

// Starts the box process with the message in its environment. The crashed process does not
// wait for the user to close the box: while it lives it may hold the pointer or the keyboard
// (an open menu or list), and the box could never be answered.
bool ShowInBoxProcess(const char* message)
{
    if (!g_boxProgram[0])
        return false;
    const size_t nameLength = strlen(kCrashMessageVariable);
    memcpy(g_boxMessage, kCrashMessageVariable, nameLength);
    g_boxMessage[nameLength] = '=';
    const size_t textLength = std::min(strlen(message), sizeof g_boxMessage - nameLength - 2);
    memcpy(g_boxMessage + nameLength + 1, message, textLength);
    g_boxMessage[nameLength + 1 + textLength] = '\0';

    size_t count = 0;
    g_boxEnvironment[count++] = g_boxMessage;
    for (char** e = environ; e && *e && count < kMaxBoxEnvironment - 1; ++e)
        if (strncmp(*e, g_boxMessage, nameLength + 1) != 0)
            g_boxEnvironment[count++] = *e;
    g_boxEnvironment[count] = nullptr;

    // A pipe closed on a successful exec tells whether the program started.
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = _Fork();
    if (pid == 0) {
        // The handler's signal stays blocked across exec unless unblocked here; its own session
        // keeps the box when the terminal the program was started from goes.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        setsid();
        // Nothing of the crashed process lives on in the box: no database file, lock or display
        // connection it had open (the standard streams stay, for a box that has no display).
        const unsigned report = unsigned(started[1]);
        if ((report > 3 && close_range(3, report - 1, 0) != 0) ||
            close_range(report + 1, ~0U, 0) != 0) {
            for (unsigned fd = 3; fd < 4096; ++fd)  // kernels without close_range
                if (fd != report)
                    close(int(fd));
        }
        char* const arguments[] = {g_boxProgram, nullptr};
        execve(g_boxProgram, arguments, g_boxEnvironment);
        const char failed = 1;
        (void)write(started[1], &failed, 1);
        _exit(127);
    }
    close(started[1]);
    bool ok = pid > 0;
    if (ok) {
        char failed = 0;
        ssize_t n;
        while ((n = read(started[0], &failed, 1)) < 0 && errno == EINTR) {
        }
        ok = n == 0;
        if (!ok)
            waitpid(pid, nullptr, 0);
    }
    close(started[0]);
    return ok;
}

void RestoreDefaultAndRaise(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    // The signal is blocked while its handler runs; it arrives, with its default action, as
    // soon as the handler returns (a hardware fault would also recur at the same instruction).
    raise(signal);
}

}  // namespace

void CrashDumpWriter::AppendMessage(const char* text)
{
    const size_t room = sizeof message_ - 1 - length_;
    const size_t n = std::min(strlen(text), room);
    memcpy(message_ + length_, text, n);
    length_ += n;
    message_[length_] = '\0';
}

int WriteMiniDump(CrashDumpWriter& writer, int signal, const siginfo_t* info)
{
    int result = 0;
    switch (g_pathState) {
        case PathState::kNotInstalled:
        case PathState::kNoFolder:
            writer.AppendMessage(kNoFolderText);
            break;
        case PathState::kTooLong:
            writer.AppendMessage(kNoPathText);
            break;
        case PathState::kReady: {
            // An earlier dump is overwritten.
            const int fd = open(g_dumpPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0) {
                writer.AppendMessage(kCreateFailedText);
                break;
            }
            if (WriteDumpBody(fd, signal, info)) {
                result = 1;
                writer.AppendMessage(kSavedText);
                writer.AppendMessage(g_dumpPath);
                writer.AppendMessage(kPleaseSendText);
                writer.AppendMessage(kSupportAddress);
                writer.AppendMessage(kFixedText);
            } else {
                writer.AppendMessage(kWriteFailedText);
            }
            if (close(fd) != 0 && result == 1) {
                result = 0;
                writer.AppendMessage("\n");
                writer.AppendMessage(kWriteFailedText);
            }
            break;
        }
    }
    // A signal handler cannot run a window: a fresh process of the program shows the box. Without
    // a display, or when that process cannot start, the user reads the message on the terminal.
    if (!ShowInBoxProcess(writer.Message())) {
        WriteText(STDERR_FILENO, "Exception: ");
        WriteText(STDERR_FILENO, writer.Message());
        WriteText(STDERR_FILENO, "\n");
    }
    return result;
}

void CrashDumpFilter(int signal, siginfo_t* info, void*)
{
    const pid_t self = gettid();
    pid_t expected = 0;
    if (!g_handlingThread.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            // The handler itself faulted: end at once.
            RestoreDefaultAndRaise(signal);
            return;
        }
        // Another thread is writing the dump and will end the process.
        for (;;)
            pause();
    }
    CrashDumpWriter writer(g_dumpFileName);
    WriteMiniDump(writer, signal, info);
    RestoreDefaultAndRaise(signal);
}

bool InstallCrashDumpFilter(std::string_view dumpFileName)
{
    const size_t nameLength = std::min(dumpFileName.size(), sizeof g_dumpFileName - 1);
    memcpy(g_dumpFileName, dumpFileName.data(), nameLength);
    g_dumpFileName[nameLength] = '\0';

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    g_dumpPath[0] = '\0';
    if (folder.isEmpty()) {
        g_pathState = PathState::kNoFolder;
    } else {
        QDir().mkpath(folder);
        const QByteArray path =
            QFile::encodeName(QDir(folder).filePath(QString::fromUtf8(g_dumpFileName)));
        if (size_t(path.size()) >= sizeof g_dumpPath) {
            g_pathState = PathState::kTooLong;
        } else {
            memcpy(g_dumpPath, path.constData(), size_t(path.size()) + 1);
            g_pathState = PathState::kReady;
        }
    }

    // The box needs a screen, and the program file itself to start again.
    g_boxProgram[0] = '\0';
    if (ui::HasDisplay()) {
        const ssize_t n = readlink("/proc/self/exe", g_boxProgram, sizeof g_boxProgram - 1);
        g_boxProgram[n > 0 ? n : 0] = '\0';
    }

    // The first backtrace loads the unwinder, which allocates: do it now, not in the handler.
    void* frame[1];
    backtrace(frame, 1);

    stack_t stack = {};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = sizeof g_alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action = {};
    action.sa_sigaction = CrashDumpFilter;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals)
        sigaction(signal, &action, nullptr);
    return g_pathState == PathState::kReady;
}

std::string CrashDumpPath()
{
    return g_pathState == PathState::kReady ? std::string(g_dumpPath) : std::string();
}

}  // namespace crash
