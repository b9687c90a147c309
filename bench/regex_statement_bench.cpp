// Classifies a synchronisation script of 100,000 statements with the script
// parser's ten statement patterns, once with this engine and once with
// PCRE2's interpreter (the reference only; PCRE2 is never linked into the
// programs), and prints statements per second for both.
#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>

#include "regex/rpattern.h"

#include <chrono>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct StatementPattern {
    wchar_t filter;
    const wchar_t* text;
};

const StatementPattern kPatterns[] = {
    {L'A', L"^ALTER\\s+TABLE\\s+\\[(.+s?)\\]\\s+ADD\\s+CONSTRAINT\\s+\\[\\[(.+?)\\]\\."
           L"ValidationRule\\]\\s+CHECK\\s+\\((.+?)\\)$"},
    {L'A', L"^ALTER\\s+TABLE\\s+\\[(.+?)\\]\\s+DROP\\s+CONSTRAINT\\s+\\[\\[(.+?)\\]\\."
           L"ValidationRule\\]$"},
    {0, L"^ALTER\\s+TABLE\\s+\\[(.+s?)\\]\\s+(ALLOW|DENY)\\s+ZERO\\s+LENGTH\\s+\\[(.+?)\\]$"},
    {L'U', L"^UPDATE\\s+(.+?)\\s+SET\\s+(.+?(chr|base64)\\(.+?\\).*)\\s+WHERE\\s+(.+?)$"},
    {L'I', L"^INSERT\\s+INTO\\s+(.+?)\\s+\\((.*?)\\)\\s+VALUES\\s+\\((.+?(chr|base64)\\(.+?\\)"
           L".*)\\)$"},
    {L'A', L"^ALTER\\s+TABLE\\s+(.+?)\\s+ADD\\s+CONSTRAINT\\s+(.+?)\\s+FOREIGN\\s+KEY\\s+NO\\s+"
           L"INDEX\\s+\\((.*?)\\)\\s+REFERENCES\\s+(.+?)\\s+\\((.*?)\\)$"},
    {L'C', L"^CREATE\\s+VIEW\\s+(.+?)\\s+AS\\s+(.*)$"},
    {L'C', L"^CREATE\\s+PROCEDURE\\s+(.+?)\\s+\\((.*?)\\)\\s+AS\\s+(.*)$"},
    {L'L', L"^LINK\\s+TABLE\\s+(\\[.+?\\])\\s+TO\\s+(\\[.+?\\])\\s+ODBC\\s+\"(.+?)\"$"},
    {L'L', L"^LINK\\s+TABLE\\s+(\\[.+?\\])\\s+TO\\s+(\\[.+?\\])\\s+SRC\\s+\"(.+?)\"$"},
};
constexpr int kPatternCount = 10;

bool PassesFilter(wchar_t filter, const std::wstring& s)
{
    return !filter || (!s.empty() && (s[0] == filter || s[0] == static_cast<wchar_t>(std::towlower(filter))));
}

// A synchronisation script as the script writer produces it: mostly data
// statements, some with chr() and base64() values, a few schema statements.
std::vector<std::wstring> MakeScript(std::size_t count)
{
    std::mt19937 rng(42);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const wchar_t* tables[] = {L"[Customers]", L"[Orders]", L"[Order Details]", L"[Products]",
                               L"[Employees]"};
    const wchar_t* words[] = {L"Alfreds", L"Futterkiste", L"Berlin", L"Obere Str. 57",
                              L"Sales Representative", L"Maria Anders", L"12209", L"Germany"};
    auto text = [&] {
        std::wstring t = L"\"";
        for (int i = 0, n = 1 + pick(4); i < n; ++i)
            t += std::wstring(i ? L" " : L"") + words[pick(8)];
        return t + L"\"";
    };
    auto value = [&]() -> std::wstring {
        switch (pick(6)) {
        case 0: return std::to_wstring(pick(100000));
        case 1: return L"#2024-0" + std::to_wstring(1 + pick(9)) + L"-1" + std::to_wstring(pick(9)) + L"#";
        case 2: return L"Null";
        default: return text();
        }
    };
    std::vector<std::wstring> script;
    script.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring table = tables[pick(5)];
        const int kind = pick(100);
        std::wstring s;
        if (kind < 45 || (kind >= 55 && kind < 60)) {
            std::wstring cols, vals;
            for (int c = 0, n = 3 + pick(6); c < n; ++c) {
                cols += (c ? L", [Field" : L"[Field") + std::to_wstring(c) + L"]";
                std::wstring v = value();
                if (kind >= 55 && c == 2)
                    v = pick(2) ? L"\"Line\" & chr(13) & chr(10) & \"next\"" : L"base64(\"AAECAwQF\")";
                vals += (c ? L", " : L"") + v;
            }
            s = L"INSERT INTO " + table + L" (" + cols + L") VALUES (" + vals + L")";
        } else if (kind < 55 || (kind >= 60 && kind < 80)) {
            std::wstring sets;
            for (int c = 0, n = 1 + pick(4); c < n; ++c) {
                std::wstring v = value();
                if (kind < 55 && c == 0)
                    v = L"\"a\" & chr(9) & \"b\"";
                sets += (c ? L", [Field" : L"[Field") + std::to_wstring(c) + L"] = " + v;
            }
            s = L"UPDATE " + table + L" SET " + sets + L" WHERE [ID] = " +
                std::to_wstring(pick(100000));
        } else if (kind < 97) {
            s = L"DELETE FROM " + table + L" WHERE [ID] = " + std::to_wstring(pick(100000));
        } else if (kind == 97) {
            s = L"ALTER TABLE " + table + L" ALLOW ZERO LENGTH [Field" + std::to_wstring(pick(9)) + L"]";
        } else if (kind == 98) {
            s = L"ALTER TABLE [Orders] ADD CONSTRAINT [FK" + std::to_wstring(i) +
                L"] FOREIGN KEY NO INDEX ([CustomerID]) REFERENCES [Customers] ([ID])";
        } else {
            s = L"CREATE VIEW [View" + std::to_wstring(i) + L"] AS SELECT * FROM " + table;
        }
        script.push_back(std::move(s));
    }
    return script;
}

struct Outcome {
    std::size_t per_pattern[kPatternCount + 1] = {};
    std::size_t piece_chars = 0;
};

Outcome ClassifyOurs(const std::vector<std::wstring>& script,
                     const std::vector<std::unique_ptr<regex::rpattern>>& patterns)
{
    Outcome o;
    regex::match_results results;
    for (const std::wstring& s : script) {
        int hit = kPatternCount;
        for (int p = 0; p < kPatternCount; ++p) {
            if (!PassesFilter(kPatterns[p].filter, s))
                continue;
            if (patterns[p]->match(s, results).matched) {
                for (std::size_t g = 1; g < results.cbackrefs() && g <= 5; ++g)
                    o.piece_chars += results.backref(g).str().size();
                hit = p;
                break;
            }
        }
        ++o.per_pattern[hit];
    }
    return o;
}

Outcome ClassifyPcre(const std::vector<std::wstring>& script, const std::vector<pcre2_code*>& codes)
{
    Outcome o;
    pcre2_match_data* md = pcre2_match_data_create(16, nullptr);
    for (const std::wstring& s : script) {
        int hit = kPatternCount;
        const auto* subject = reinterpret_cast<PCRE2_SPTR>(s.data());
        for (int p = 0; p < kPatternCount; ++p) {
            if (!PassesFilter(kPatterns[p].filter, s))
                continue;
            const int rc = pcre2_match(codes[p], subject, s.size(), 0, 0, md, nullptr);
            if (rc > 0) {
                const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
                for (int g = 1; g < rc && g <= 5; ++g)
                    if (ov[2 * g] != PCRE2_UNSET)
                        o.piece_chars += std::wstring(s.data() + ov[2 * g], s.data() + ov[2 * g + 1]).size();
                hit = p;
                break;
            }
        }
        ++o.per_pattern[hit];
    }
    pcre2_match_data_free(md);
    return o;
}

template <class F>
double BestSeconds(F&& run, Outcome& outcome)
{
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        outcome = run();
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count());
    }
    return best;
}

} // namespace

int main()
{
    const std::vector<std::wstring> script = MakeScript(100000);

    std::vector<std::unique_ptr<regex::rpattern>> ours;
    std::vector<pcre2_code*> pcre;
    for (const StatementPattern& p : kPatterns) {
        ours.push_back(std::make_unique<regex::rpattern>(p.text, regex::ignore_case | regex::repeat_match));
        const std::wstring text = p.text;
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                         PCRE2_CASELESS, &error, &offset, nullptr);
        if (!code) {
            std::fprintf(stderr, "PCRE2 refused a pattern (error %d)\n", error);
            return 1;
        }
        pcre.push_back(code);
    }

    Outcome a, b;
    const double ours_s = BestSeconds([&] { return ClassifyOurs(script, ours); }, a);
    const double pcre_s = BestSeconds([&] { return ClassifyPcre(script, pcre); }, b);
    for (pcre2_code* c : pcre)
        pcre2_code_free(c);

    bool same = a.piece_chars == b.piece_chars;
    for (int p = 0; p <= kPatternCount; ++p)
        same = same && a.per_pattern[p] == b.per_pattern[p];
    const double n = static_cast<double>(script.size());
    std::printf("statements: %zu (plain commands: %zu)\n", script.size(), a.per_pattern[kPatternCount]);
    std::printf("regex engine:       %8.3f s  %10.0f statements/s\n", ours_s, n / ours_s);
    std::printf("PCRE2 interpreter:  %8.3f s  %10.0f statements/s\n", pcre_s, n / pcre_s);
    std::printf("ratio (engine / PCRE2 time): %.2f\n", ours_s / pcre_s);
    std::printf("classifications agree: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
