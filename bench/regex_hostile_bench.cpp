// Times the shapes that used to backtrack exponentially or quadratically, at
// growing subject lengths, in both matching modes of this engine, beside
// PCRE2's interpreter and the system's perl (both for reference only; PCRE2
// is never linked into the programs). Prints one table row per shape and
// length: milliseconds per match (best of three) and, for this engine, the
// time per subject character, which stays flat when the work grows no faster
// than the subject. "limit" is PCRE2's match limit; "-" means perl is absent.
#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>

#include "regex/rpattern.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Shape {
    const char* name;   // as printed
    std::wstring pattern;
    // Perl expression building the subject from $n.
    const char* perl_subject;
    std::wstring (*subject)(std::size_t n);
    std::vector<std::size_t> sizes;
};

std::wstring Repeat(const std::wstring& piece, std::size_t n)
{
    std::wstring s;
    s.reserve(piece.size() * n);
    for (std::size_t i = 0; i < n; ++i)
        s += piece;
    return s;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

template <class F>
double BestMs(F run)
{
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

std::string Engine(const Shape& shape, const std::wstring& subject, regex::match_mode mode,
                   double& ms)
{
    const regex::rpattern p(shape.pattern, regex::noflags, mode);
    bool matched = false;
    ms = BestMs([&] {
        regex::match_results r;
        matched = p.match(subject, r).matched;
    });
    char out[64];
    std::snprintf(out, sizeof out, "%.3f%s", ms, matched ? "" : " (no)");
    return out;
}

std::string Pcre(const Shape& shape, const std::wstring& subject)
{
    std::u32string pattern(shape.pattern.begin(), shape.pattern.end());
    std::u32string text(subject.begin(), subject.end());
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     0, &error, &offset, nullptr);
    if (!code)
        return "error";
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    int rc = 0;
    const double ms = BestMs([&] {
        rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, md,
                         nullptr);
    });
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
        rc == PCRE2_ERROR_HEAPLIMIT)
        return "limit";
    char out[64];
    std::snprintf(out, sizeof out, "%.3f%s", ms, rc > 0 ? "" : " (no)");
    return out;
}

// Perl builds the same subject and times only the match.
std::string Perl(const Shape& shape, std::size_t n)
{
    std::string pattern = Narrow(shape.pattern);
    std::string quoted;
    for (char c : pattern) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    const std::string command =
        "perl -MTime::HiRes=time -e 'my ($p, $n) = @ARGV; my $s = " +
        std::string(shape.perl_subject) +
        "; my $re = qr/$p/; my $best = 1e300; my $m; for (1 .. 3) { my $t = time; $m = $s =~ $re; "
        "my $d = time - $t; $best = $d if $d < $best } printf \"%.3f%s\", $best * 1000, $m ? \"\" "
        ": \" (no)\"' '" +
        quoted + "' " + std::to_string(n) + " 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return "-";
    char buffer[128] = {0};
    const std::size_t got = fread(buffer, 1, sizeof buffer - 1, pipe.get());
    return got ? std::string(buffer, got) : "-";
}

} // namespace

int main()
{
    const std::wstring nested = Repeat(L"(?:", 14) + L"a" + Repeat(L")*", 14);
    const std::vector<Shape> shapes = {
        {"(a*)*b", L"(a*)*b", "(\"a\" x $n) . \"!b\"",
         [](std::size_t n) { return std::wstring(n, L'a') + L"!b"; },
         {1000, 10000, 100000}},
        {"(a|a)*b", L"(a|a)*b", "(\"a\" x $n) . \"!b\"",
         [](std::size_t n) { return std::wstring(n, L'a') + L"!b"; },
         {1000, 4000, 16000}},
        {"(a|aa)+$", L"(a|aa)+$", "(\"a\" x $n) . \"!b\"",
         [](std::size_t n) { return std::wstring(n, L'a') + L"!b"; },
         {1000, 4000, 16000}},
        {"^(\\w+\\s?)*$", L"^(\\w+\\s?)*$", "(\"ab \" x ($n / 3)) . \"!b\"",
         [](std::size_t n) { return Repeat(L"ab ", n / 3) + L"!b"; },
         {1000, 4000, 16000}},
        {"(.*a){12}$", L"(.*a){12}$", "(\"a\" x $n) . \"!b\"",
         [](std::size_t n) { return std::wstring(n, L'a') + L"!b"; },
         {100, 200, 400}},
        {".X(.+)+X", L".X(.+)+X", "\"bX\" . (\"a\" x $n)",
         [](std::size_t n) { return L"bX" + std::wstring(n, L'a'); },
         {100, 400, 1600}},
        {"(?:)x14 a )*x14, then b", nested + L"b", "(\"a\" x $n) . \"!b\"",
         [](std::size_t n) { return std::wstring(n, L'a') + L"!b"; },
         {100, 1000, 10000}},
        {"(a*)\\1$", L"(a*)\\1$", "\"a\" x $n",
         [](std::size_t n) { return std::wstring(n, L'a'); },
         {100000, 1000000, 10000000}},
        {"\\w+@", L"\\w+@", "(\"a\" x $n) . \"!@\"",
         [](std::size_t n) { return std::wstring(n, L'a') + L"!@"; },
         {10000, 40000, 100000}},
    };
    std::printf("| shape | n | recursive ms | explicit stack ms | ns per char (explicit) | "
                "PCRE2 ms | perl ms |\n|---|---|---|---|---|---|---|\n");
    for (const Shape& shape : shapes)
        for (std::size_t n : shape.sizes) {
            const std::wstring subject = shape.subject(n);
            double rec_ms = 0, exp_ms = 0;
            const std::string rec = Engine(shape, subject, regex::mode_recursive, rec_ms);
            const std::string exp = Engine(shape, subject, regex::mode_explicit_stack, exp_ms);
            std::printf("| `%s` | %zu | %s | %s | %.1f | %s | %s |\n", shape.name, n, rec.c_str(),
                        exp.c_str(), exp_ms * 1e6 / static_cast<double>(subject.size()),
                        Pcre(shape, subject).c_str(), Perl(shape, n).c_str());
            std::fflush(stdout);
        }
    return 0;
}
