// Times the shapes that used to backtrack exponentially or quadratically
// (nested and alternating loops, nested starred groups, back-references and
// leading runs over long subjects), at growing sizes, in both matching modes
// of this engine, beside PCRE2's interpreter and the system's perl (both for
// reference only; PCRE2 is never linked into the programs). Prints one table
// row per shape and size: milliseconds per match (best of three, or of one
// when a run takes over a second) and, for this engine, the time per subject
// character, which stays flat when the work grows no faster than the
// subject (it is left out where the size is the pattern's depth). "limit"
// is PCRE2's match limit; perl is stopped after a few seconds (">"); "-"
// means perl is absent; "not run": PCRE2 took over a second, or perl was
// stopped, at the size before, so the larger one would only hold the table up.
#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "regex/rpattern.h"
#include "bench_text.h"

namespace {

struct Shape {
    int fault;         // 2: nested or alternating loops, 3: nested starred groups, 7: long runs
    std::string name;  // as printed
    bool by_depth;     // the size is the pattern's nesting depth, not the subject's length
    std::wstring (*pattern)(std::size_t size);
    std::wstring (*subject)(std::size_t size);
    // Perl expression building the subject from $n (the size).
    const char* perl_subject;
    std::vector<std::size_t> sizes;
};

constexpr double kPerlSeconds = 5;

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

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
        if (best > 1000)
            break;  // slow enough to read from one run
    }
    return best;
}

std::string Engine(const std::wstring& pattern, const std::wstring& subject, regex::match_mode mode,
                   double& ms)
{
    const regex::rpattern p(pattern, regex::noflags, mode);
    bool matched = false;
    ms = BestMs([&] {
        regex::match_results r;
        matched = p.match(subject, r).matched;
    });
    char out[64];
    std::snprintf(out, sizeof out, "%.3f%s", ms, matched ? "" : " (no)");
    return out;
}

std::string Pcre(const std::wstring& wide_pattern, const std::wstring& subject, double& ms)
{
    std::u32string pattern(wide_pattern.begin(), wide_pattern.end());
    std::u32string text(subject.begin(), subject.end());
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     0, &error, &offset, nullptr);
    if (!code)
        return "error";
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    int rc = 0;
    ms = BestMs([&] {
        rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, md,
                         nullptr);
    });
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT)
        return "limit";
    char out[64];
    std::snprintf(out, sizeof out, "%.3f%s", ms, rc > 0 ? "" : " (no)");
    return out;
}

// Perl builds the same subject and times only the match, which an alarm
// stops after kPerlSeconds (perl's own loops can run for minutes).
std::string Perl(const Shape& shape, const std::wstring& wide_pattern, std::size_t n, double& ms)
{
    std::string pattern = Narrow(wide_pattern);
    std::string quoted;
    for (char c : pattern) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    const std::string seconds = std::to_string(static_cast<int>(kPerlSeconds));
    const std::string command =
        "PERL_SIGNALS=unsafe perl -MTime::HiRes=time -e 'my ($p, $n) = @ARGV; my $s = " +
        std::string(shape.perl_subject) +
        "; my $re = qr/$p/; my $best = 1e300; my $m; $SIG{ALRM} = sub { die \"stop\\n\" }; "
        "for (1 .. 3) { my $t = time; alarm(" +
        seconds + "); my $ok = eval { $m = $s =~ $re; 1 }; alarm(0); unless ($ok) { print \">" +
        seconds +
        "000\"; exit } my $d = time - $t; $best = $d if $d < $best; last if $best > 1 } "
        "printf \"%.3f%s\", $best * 1000, $m ? \"\" : \" (no)\"' '" +
        quoted + "' " + std::to_string(n) + " 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return "-";
    char buffer[128] = {0};
    const std::size_t got = fread(buffer, 1, sizeof buffer - 1, pipe.get());
    const std::string out = got ? std::string(buffer, got) : "-";
    ms = out[0] == '>' ? kPerlSeconds * 1000 : std::atof(out.c_str());
    return out;
}

std::wstring Nested(std::size_t depth)
{
    return Repeat(L"(?:", depth) + L"a" + Repeat(L")*", depth);
}

std::wstring RunThenBangB(std::size_t n)
{
    return std::wstring(n, L'a') + L"!b";
}
constexpr const char* kRunThenBangB = "(\"a\" x $n) . \"!b\"";

std::wstring Run(std::size_t n)
{
    return std::wstring(n, L'a');
}
constexpr const char* kRun = "\"a\" x $n";

// The pattern of a shape that does not change with the size.
template <const wchar_t* Pattern>
std::wstring Same(std::size_t)
{
    return Pattern;
}

constexpr wchar_t kStarStar[] = L"(a*)*b";
constexpr wchar_t kPlusPlus[] = L"(a+)+b";
constexpr wchar_t kSameTwice[] = L"(a|a)*b";
constexpr wchar_t kOneOrTwo[] = L"(a|aa)+$";
constexpr wchar_t kWords[] = L"^(\\w+\\s?)*$";
constexpr wchar_t kTwelve[] = L"(.*a){12}$";
constexpr wchar_t kBetweenX[] = L".X(.+)+X";
constexpr wchar_t kEmptyOrTwo[] = L"(?:|.{0,2})*(?=xx)|.{2}";
constexpr wchar_t kBackref[] = L"(a*)\\1$";
constexpr wchar_t kWordAt[] = L"\\w+@";
constexpr wchar_t kAlternationLoop[] = L"(a|b)*c";

// A shape named by its pattern.
Shape Named(int fault, std::wstring (*pattern)(std::size_t), std::wstring (*subject)(std::size_t),
            const char* perl_subject, std::vector<std::size_t> sizes)
{
    return {fault, Narrow(pattern(0)), false, pattern, subject, perl_subject, std::move(sizes)};
}

}  // namespace

int main()
{
    const std::vector<std::size_t> to_million = {1000, 10000, 100000, 1000000};
    const std::vector<std::size_t> to_16000 = {1000, 4000, 16000};
    const std::vector<Shape> shapes = {
        Named(2, Same<kStarStar>, RunThenBangB, kRunThenBangB, to_million),
        Named(2, Same<kPlusPlus>, RunThenBangB, kRunThenBangB, to_million),
        Named(2, Same<kSameTwice>, RunThenBangB, kRunThenBangB, to_16000),
        Named(2, Same<kOneOrTwo>, RunThenBangB, kRunThenBangB, to_16000),
        Named(
            2, Same<kWords>, [](std::size_t n) { return Repeat(L"ab ", n / 3) + L"!b"; },
            "(\"ab \" x ($n / 3)) . \"!b\"", to_16000),
        Named(2, Same<kTwelve>, RunThenBangB, kRunThenBangB, to_million),
        Named(
            2, Same<kBetweenX>, [](std::size_t n) { return L"bX" + std::wstring(n, L'a'); },
            "\"bX\" . (\"a\" x $n)", to_million),
        Named(2, Same<kEmptyOrTwo>,
              [](std::size_t n) { return Repeat(L"abcdefghijklmnop", n / 16); },
              "\"abcdefghijklmnop\" x ($n / 16)", {16, 160, 1600}),
        {3,
         "(?:)xd a )*xd on \"a\"",
         true,
         Nested,
         [](std::size_t) { return std::wstring(L"a"); },
         "\"a\"",
         {14, 18, 24, 32, 64, 1000}},
        {3,
         "(?:)x14 a )*x14",
         false,
         [](std::size_t) { return Nested(14); },
         Run,
         kRun,
         {1, 100, 1000, 10000}},
        {3,
         "(?:)x14 a )*x14 b",
         false,
         [](std::size_t) { return Nested(14) + L"b"; },
         RunThenBangB,
         kRunThenBangB,
         {100, 1000, 10000}},
        Named(7, Same<kBackref>, Run, kRun, {100000, 1000000, 10000000}),
        // A group loop over a long subject: the explicit-stack mode keeps a
        // few records for every iteration.
        Named(7, Same<kAlternationLoop>, [](std::size_t n) { return std::wstring(n, L'a') + L"c"; },
              "(\"a\" x $n) . \"c\"", {100000, 1000000, 10000000}),
        Named(7, Same<kWordAt>, [](std::size_t n) { return std::wstring(n, L'a') + L"!@"; },
              "(\"a\" x $n) . \"!@\"", {10000, 100000, 1000000}),
    };
    std::printf(
        "| fault | shape | size | recursive ms | explicit stack ms | ns per char (explicit) "
        "| PCRE2 ms | perl ms |\n|---|---|---|---|---|---|---|---|\n");
    for (const Shape& shape : shapes) {
        double pcre_before = 0, perl_before = 0;
        for (std::size_t size : shape.sizes) {
            const std::wstring pattern = shape.pattern(size);
            const std::wstring subject = shape.subject(size);
            double rec_ms = 0, exp_ms = 0;
            const std::string rec = Engine(pattern, subject, regex::mode_recursive, rec_ms);
            const std::string exp = Engine(pattern, subject, regex::mode_explicit_stack, exp_ms);
            const bool by_depth = shape.by_depth;
            char per_char[32] = "-";
            if (!by_depth)
                std::snprintf(per_char, sizeof per_char, "%.1f",
                              exp_ms * 1e6 / static_cast<double>(subject.size()));
            const std::string pcre =
                pcre_before > 1000 ? "not run" : Pcre(pattern, subject, pcre_before);
            const std::string perl = perl_before >= kPerlSeconds * 1000
                                         ? "not run"
                                         : Perl(shape, pattern, size, perl_before);
            std::printf("| %d | `%s` | %s%zu | %s | %s | %s | %s | %s |\n", shape.fault,
                        shape.name.c_str(), by_depth ? "depth " : "", size, rec.c_str(),
                        exp.c_str(), per_char, pcre.c_str(), perl.c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}
