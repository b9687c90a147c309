// A program that installs the crash handler and then crashes the way its arguments ask, so that
// the tests can watch a real crash from outside: crash_child <dump file name> <how>.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/crash/crash_dump_writer.h"

// Out of line, with external linkage, and exported so that the backtrace can name them.
[[gnu::noinline]] void CrashByNullWrite()
{
    volatile int* volatile target = nullptr;
    *target = 1;
}

[[gnu::noinline]] int CrashByDivisionByZero(int divisor)
{
    // Both operands unknown to the compiler, so a real division instruction runs.
    volatile int dividend = 7;
    volatile int zero = divisor;
    return dividend / zero;
}

[[gnu::noinline]] int CrashByStackOverflow(int depth)
{
    volatile char frame[1024];
    frame[0] = char(depth);
    if (depth < 0)
        return 0;
    return CrashByStackOverflow(depth + 1) + frame[0];
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    if (!crash::InstallCrashDumpFilter(argv[1]))
        std::fputs("no dump path\n", stderr);
    const char* how = argv[2];
    if (!std::strcmp(how, "null-write"))
        CrashByNullWrite();
    else if (!std::strcmp(how, "divide-by-zero"))
        return CrashByDivisionByZero(0);
    else if (!std::strcmp(how, "abort"))
        std::abort();
    else if (!std::strcmp(how, "illegal"))
        __builtin_trap();
    else if (!std::strcmp(how, "bus"))
        std::raise(SIGBUS);
    else if (!std::strcmp(how, "stack-overflow"))
        return CrashByStackOverflow(0);
    else if (!std::strcmp(how, "worker-null-write"))
        std::thread(CrashByNullWrite).join();
    return 3;  // did not crash
}
