// What the explicit-stack matching mode holds while it matches: group loops
// over subjects of ten million characters, and starred groups nested
// thousands deep. Each case runs in a child process of its own, so the peak
// resident size it prints (VmHWM, the subject included; a subject of ten
// million wide characters alone takes about 40 MB) is that case's alone.
// Prints one table row per case: milliseconds for the match, the peak, and
// the peak per subject character. The recursive mode is timed beside it
// where it has the machine stack for the case.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "proc_status.h"
#include "regex/rpattern.h"
#include "bench_text.h"

namespace {

struct Case {
    std::string name;
    std::wstring pattern;
    std::wstring (*subject)(std::size_t n);
    std::size_t size;
    bool recursive_too;  // the recursive mode has the stack for it
};

std::wstring Nested(std::size_t depth)
{
    std::wstring close;
    for (std::size_t i = 0; i < depth; ++i)
        close += L")*";
    return std::wstring(depth, L'(') + L"a" + close + L"b";
}

// Runs one match in a child and prints its row.
void Run(const Case& c, regex::match_mode mode, const char* mode_name)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::wstring pattern = c.pattern;
        const std::wstring subject = c.subject(c.size);
        const regex::rpattern p(pattern, regex::noflags, mode);
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak from here on
        const auto start = std::chrono::steady_clock::now();
        regex::match_results r;
        const bool matched = p.match(subject, r).matched;
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        const long peak = StatusKilobytes("VmHWM:");
        char per_char[32] = "-";  // a nesting case's size is its depth
        if (subject.size() >= c.size)
            std::snprintf(per_char, sizeof per_char, "%.1f",
                          peak * 1024.0 / static_cast<double>(subject.size()));
        std::printf("| `%s` | %zu | %s | %.1f%s | %.1f | %s |\n", c.name.c_str(), c.size,
                    mode_name, took.count(), matched ? "" : " (no)", peak / 1024.0, per_char);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("| `%s` | %zu | %s | failed | | |\n", c.name.c_str(), c.size, mode_name);
}

}  // namespace

int main()
{
    constexpr std::size_t ten_million = 10'000'000;
    const std::vector<Case> cases = {
        {"(a|b)*c", L"(a|b)*c", [](std::size_t n) { return std::wstring(n, L'a') + L"c"; },
         ten_million, false},
        {"(?:a|b)*c", L"(?:a|b)*c", [](std::size_t n) { return std::wstring(n, L'a') + L"c"; },
         ten_million, false},
        {"(a|bc)*d", L"(a|bc)*d", [](std::size_t n) { return Repeat(L"abc", n / 3) + L"d"; },
         ten_million, false},
        {"(\\w+\\s)*x", L"(\\w+\\s)*x", [](std::size_t n) { return Repeat(L"ab ", n / 3) + L"x"; },
         ten_million, false},
        {"(.)*x", L"(.)*x", [](std::size_t n) { return std::wstring(n, L'a') + L"x"; },
         ten_million, false},
        {"(a*)*b", L"(a*)*b", [](std::size_t n) { return std::wstring(n, L'a') + L"b"; },
         ten_million, false},
        {"(a|b)*c, no c", L"(a|b)*c", [](std::size_t n) { return std::wstring(n, L'a'); },
         ten_million, false},
        {"((a)*)* 1000 deep, b", Nested(1000), [](std::size_t) { return std::wstring(L"xaaab"); },
         1000, true},
        {"((a)*)* 3000 deep, b", Nested(3000), [](std::size_t) { return std::wstring(L"xaaab"); },
         3000, false},
        {"((a)*)* 10000 deep, b", Nested(10000),
         [](std::size_t) { return std::wstring(L"xaaab"); }, 10000, false},
    };
    std::printf("| case | size | mode | ms | peak MB | peak bytes per char |\n"
                "|---|---|---|---|---|---|\n");
    for (const Case& c : cases) {
        Run(c, regex::mode_explicit_stack, "explicit stack");
        if (c.recursive_too)
            Run(c, regex::mode_recursive, "recursive");
    }
    return 0;
}
