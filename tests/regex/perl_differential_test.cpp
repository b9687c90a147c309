// Differential test: generated cases (pattern, flags, subject) run through
// this engine and through the system's perl must report the same spans for
// every group, and for every successive match of a repeated match.
#include "regex/rpattern.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kSeed = "20261209";
constexpr const char* kCasesPerSeedLine = "2600"; // two subjects per pattern

std::string RunCommand(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return {};
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.append(buffer, n);
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Spans(const regex::match_results& r, std::size_t first, std::size_t count,
                  const std::wstring& subject)
{
    std::string out;
    for (std::size_t i = first; i < first + count; ++i) {
        const auto& b = r.backref(i);
        if (i != first)
            out += ' ';
        out += b.matched ? std::to_string(b.first - subject.begin()) + "," +
                               std::to_string(b.second - subject.begin())
                         : "-";
    }
    return out;
}

// The same report as the perl probe, from this engine.
std::string Probe(const std::string& flags, const std::string& pattern, std::string subject)
{
    for (char& c : subject)
        if (c == '~')
            c = '\n';
    regex::pattern_flags f = regex::unescape_text;
    if (flags.find('i') != std::string::npos)
        f = f | regex::ignore_case;
    if (flags.find('m') != std::string::npos)
        f = f | regex::multi_line;
    if (flags.find('s') != std::string::npos)
        f = f | regex::dot_matches_newline;
    const bool repeated = flags.find('g') != std::string::npos;
    if (repeated)
        f = f | regex::repeat_match | regex::keep_all_submatches;
    std::unique_ptr<regex::rpattern> p;
    try {
        p = std::make_unique<regex::rpattern>(Widen(pattern), f);
    } catch (const regex::bad_regexpr&) {
        return "error";
    }
    const std::wstring wide = Widen(subject);
    regex::match_results r;
    if (!p->match(wide, r).matched)
        return "nomatch";
    const std::size_t groups = p->cgroups();
    std::string out;
    for (std::size_t first = 0; first < r.cbackrefs(); first += groups) {
        if (first)
            out += " | ";
        out += Spans(r, first, groups, wide);
    }
    return out;
}

TEST(PerlDifferential, GeneratedCasesAgreeWithPerl)
{
    if (RunCommand("perl -e 'print 1' 2>/dev/null") != "1")
        GTEST_SKIP() << "perl is not installed";
    // Another seed can be tried by hand through REGEX_DIFFERENTIAL_SEED.
    const char* seed_override = std::getenv("REGEX_DIFFERENTIAL_SEED");
    const std::string seed = seed_override ? seed_override : kSeed;
    testsupport::TempDir dir;
    const std::string dir_path = REGEX_DIFFERENTIAL_DIR;
    const std::string cases_path = (dir.path() / "cases.txt").string();
    RunCommand("perl '" + dir_path + "/generate_cases.pl' " + seed + " " + kCasesPerSeedLine +
               " > '" + cases_path + "'");
    std::ifstream in(cases_path);
    std::vector<std::string> cases;
    for (std::string line; std::getline(in, line);)
        cases.push_back(line);
    ASSERT_GE(cases.size(), 5000u);
    const std::vector<std::string> expected =
        Lines(RunCommand("perl '" + dir_path + "/perl_probe.pl' '" + cases_path + "'"));
    ASSERT_EQ(expected.size(), cases.size());

    int failures = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string& c = cases[i];
        const std::size_t t1 = c.find('\t');
        const std::size_t t2 = c.find('\t', t1 + 1);
        const std::string flags = c.substr(0, t1);
        const std::string pattern = c.substr(t1 + 1, t2 - t1 - 1);
        const std::string subject = c.substr(t2 + 1);
        const std::string got = Probe(flags, pattern, subject);
        if (got != expected[i] && ++failures <= 20)
            ADD_FAILURE() << "flags " << flags << " pattern /" << pattern << "/ subject \""
                          << subject << "\"\n  perl:   " << expected[i] << "\n  engine: " << got;
    }
    EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
}

} // namespace
