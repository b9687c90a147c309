// Statement classification time against statement length, for the statement forms that make a
// backtracking matcher of the statement patterns take the longest: near misses of the encoded
// UPDATE and INSERT patterns, near misses of the ALTER TABLE patterns, and long statements that
// do match. Prints one row per form and length (1 KB to 10 MB of text).
//
// With "--engine" it also times the backtracking engine on the same patterns, for the lengths
// where it ends within a minute or so (1 KB and 10 KB), for comparison. With "--form N" it times
// only the N-th form (from 0), for a profiler.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "regex/rpattern.h"
#include "sqlexec/sql_command.h"
#include "sqlexec/sql_parser.h"

namespace {

using Clock = std::chrono::steady_clock;

// `unit` repeated until the statement is about `length` characters long, between `head` and
// `tail`.
std::wstring Grow(const std::wstring& head, const std::wstring& unit, const std::wstring& tail,
                  size_t length)
{
    std::wstring text = head;
    while (text.size() + tail.size() < length)
        text += unit;
    return text + tail;
}

struct Form {
    const char* name;
    std::function<std::wstring(size_t)> make;
};

const Form kForms[] = {
    {"UPDATE, chr() and \"where\" but no WHERE condition",
     [](size_t n) {
         return Grow(L"UPDATE t SET a = ", L"\"line\" & chr(13) & chr(10) & ", L"\"somewhere\"", n);
     }},
    {"UPDATE ending in WHERE",
     [](size_t n) { return Grow(L"UPDATE t SET a = ", L"chr(1) & ", L"\"x\" WHERE", n); }},
    {"INSERT of chr( without an end",
     [](size_t n) { return Grow(L"INSERT INTO t (a) VALUES (", L"chr(", L")", n); }},
    {"UPDATE matching, blanks after its condition",
     [](size_t n) { return Grow(L"UPDATE t SET a = chr(1) WHERE x", L" ", L"y", n); }},
    {"INSERT matching, one long base64 literal",
     [](size_t n) {
         return Grow(L"INSERT INTO t (a, b) VALUES (1, base64(\"", L"AAEC", L"\"))", n);
     }},
    {"ALTER TABLE CHECK near miss",
     [](size_t n) {
         return Grow(L"ALTER TABLE ", L"[a] ADD CONSTRAINT [[b].ValidationRule] CHECK (c ", L"", n);
     }},
    {"ALTER TABLE FOREIGN KEY near miss",
     [](size_t n) {
         return Grow(L"ALTER TABLE ",
                     L"a ADD CONSTRAINT b FOREIGN KEY NO INDEX (c) REFERENCES d (e) ", L"x", n);
     }},
};

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The statement is handed over as the splitter hands it over, and the command is built as a run
// builds it; the best of three runs, since the machine may be busy with other work.
double ClassifyTime(const std::wstring& text)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        std::wstring statement = text;
        const Clock::time_point start = Clock::now();
        const auto command = SQLExecutor::SQLParser::Classify(std::move(statement), 1);
        best = std::min(best, Seconds(start));
        if (!command)
            std::abort();
    }
    return best;
}

// The backtracking engine over the same patterns, with the same first-letter filters.
double EngineTime(const std::wstring& text)
{
    static std::vector<std::unique_ptr<regex::rpattern>> patterns;
    if (patterns.empty()) {
        for (const wchar_t* pattern : SQLExecutor::SQLParser::PatternTexts())
            patterns.push_back(std::make_unique<regex::rpattern>(
                pattern, regex::ignore_case | regex::repeat_match, regex::mode_recursive));
    }
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < patterns.size(); ++i) {
        const wchar_t first = text.empty() ? 0 : static_cast<wchar_t>(towupper(text[0]));
        const wchar_t filter = SQLExecutor::SQLParser::PatternTexts()[i][1];
        if (i != 2 && first != filter)
            continue;
        regex::match_results results;
        if (patterns[i]->match(text, results).matched)
            break;
    }
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool engine = argc > 1 && std::strcmp(argv[1], "--engine") == 0;
    const int only = argc > 2 && std::strcmp(argv[1], "--form") == 0 ? std::atoi(argv[2]) : -1;
    const size_t lengths[] = {1000, 10000, 100000, 1000000, 10000000};
    std::printf("%-50s %10s %12s%s\n", "statement form", "length", "classify s",
                engine ? "    engine s" : "");
    for (const Form& form : kForms) {
        if (only >= 0 && &form != &kForms[only])
            continue;
        for (size_t length : lengths) {
            const std::wstring text = form.make(length);
            std::printf("%-50s %10zu %12.4f", form.name, text.size(), ClassifyTime(text));
            if (engine && length <= 10000)
                std::printf(" %11.3f", EngineTime(text));
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return 0;
}
