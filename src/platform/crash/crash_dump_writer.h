// Crash dumps: a handler for the fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) that
// writes a text dump (signal, fault address, backtrace, memory map) into the application-data
// folder, tells the user where it is, and lets the signal end the process. On a display the
// message is shown in an "Exception" box by a fresh process of the same program (see
// crash_box.h); without one it goes to standard error.
#pragma once

#include <csignal>
#include <string>
#include <string_view>

namespace crash {

// The message texts of the handler, shown in the "Exception" box (or written to standard error
// after "Exception: ").
inline constexpr const char* kSavedText = "The mini dump file has been saved.\n";
inline constexpr const char* kPleaseSendText = "\nPlease send the dump file to ";
inline constexpr const char* kFixedText = "\nThe problem will be fixed as soon as possible.";
inline constexpr const char* kNoFolderText = "Can't get the application-data folder";
inline constexpr const char* kNoPathText = "Can't get the dump path";
inline constexpr const char* kCreateFailedText = "Can't create the dump file";
inline constexpr const char* kWriteFailedText = "Can't write the dump file";
inline constexpr const char* kSupportAddress = "support@corvina.example";
inline constexpr const char* kExceptionCaption = "Exception";
// The variable that carries the message to the process that shows it in a box.
inline constexpr char kCrashMessageVariable[] = "CRV_CRASH_MESSAGE";

// Installs the handler for the whole process; `dumpFileName` is "corvina.dmp" or
// "crvconsole.dmp". Installed on the thread of a QApplication that shows windows, the handler
// reports in a message box; else on standard error. The dump's full path is fixed here, in the
// application-data folder ($XDG_DATA_HOME, by default ~/.local/share), because a signal handler
// may not ask Qt or allocate. Returns false when no usable path was found; the handler is
// installed all the same and then reports why no dump was written.
bool InstallCrashDumpFilter(std::string_view dumpFileName);

// The full path the handler writes to; empty when none could be made.
std::string CrashDumpPath();

// The state of one crash report: the message for the user, built while the dump is written.
// Lives on the handler's stack; holds no heap memory.
class CrashDumpWriter {
public:
    static constexpr size_t kMessageCapacity = 4608;

    explicit CrashDumpWriter(const char* dumpFileName) : dumpFileName_(dumpFileName) {}
    CrashDumpWriter(const CrashDumpWriter&) = delete;
    CrashDumpWriter& operator=(const CrashDumpWriter&) = delete;

    void AppendMessage(const char* text);
    const char* Message() const { return message_; }
    const char* DumpFileName() const { return dumpFileName_; }

private:
    char message_[kMessageCapacity] = {};
    size_t length_ = 0;
    const char* dumpFileName_;  // not owned
};

// Writes the dump for signal `signal`; returns 1 when it was written, else 0. In both cases the
// writer's message tells the user what happened. Async-signal-safe.
int WriteMiniDump(CrashDumpWriter& writer, int signal, const siginfo_t* info);

// The signal handler: writes the dump and the message, then restores the signal's default
// action and raises it again, so the process ends by that signal.
void CrashDumpFilter(int signal, siginfo_t* info, void* context);

}  // namespace crash
