// Statement splitting and the ordered statement patterns. The patterns are anchored at both
// ends and tried in a fixed order; the first match decides the command kind. Each is compiled
// once per process, on first use. A synchronisation statement may be megabytes long and nearly
// match a pattern; the engine matches these patterns (no back-references, conditions,
// recursion or look-around) in time proportional to the statement's length.
#include "sqlexec/sql_parser.h"

#include <algorithm>

#include "output/text_utils.h"
#include "sqlexec/sql_parametrized_command.h"
#include "regex/rpattern.h"

namespace SQLExecutor {

namespace {

// The table names in patterns 1 and 3 are lazy groups, like every other name group: a bracketed
// name ends at the first "]" after which the rest of the statement matches.
enum PatternId {
    kValidationRuleAdd,
    kValidationRuleDrop,
    kZeroLength,
    kUpdateEncoded,
    kInsertEncoded,
    kForeignKeyNoIndex,
    kView,
    kProcedure,
    kLinkOdbc,
    kLinkAccess,
    kPatternCount
};

const wchar_t* const kPatternTexts[kPatternCount] = {
    LR"(^ALTER\s+TABLE\s+\[(.+?)\]\s+ADD\s+CONSTRAINT\s+\[\[(.+?)\]\.ValidationRule\])"
    LR"(\s+CHECK\s+\((.+?)\)$)",
    LR"(^ALTER\s+TABLE\s+\[(.+?)\]\s+DROP\s+CONSTRAINT\s+\[\[(.+?)\]\.ValidationRule\]$)",
    LR"(^ALTER\s+TABLE\s+\[(.+?)\]\s+(ALLOW|DENY)\s+ZERO\s+LENGTH\s+\[(.+?)\]$)",
    LR"(^UPDATE\s+(.+?)\s+SET\s+(.+?(chr|base64)\(.+?\).*)\s+WHERE\s+(.+?)$)",
    // The part before the first encoded value may be empty: a list that starts with a base64
    // literal or a chr() code is still rebuilt.
    LR"(^INSERT\s+INTO\s+(.+?)\s+\((.*?)\)\s+VALUES\s+\((.*?(chr|base64)\(.+?\).*)\)$)",
    LR"(^ALTER\s+TABLE\s+(.+?)\s+ADD\s+CONSTRAINT\s+(.+?)\s+FOREIGN\s+KEY\s+NO\s+INDEX\s+)"
    LR"(\((.*?)\)\s+REFERENCES\s+(.+?)\s+\((.*?)\)$)",
    LR"(^CREATE\s+VIEW\s+(.+?)\s+AS\s+(.*)$)",
    LR"(^CREATE\s+PROCEDURE\s+(.+?)\s+\((.*?)\)\s+AS\s+(.*)$)",
    LR"(^LINK\s+TABLE\s+(\[.+?\])\s+TO\s+(\[.+?\])\s+ODBC\s+\"(.+?)\"$)",
    LR"(^LINK\s+TABLE\s+(\[.+?\])\s+TO\s+(\[.+?\])\s+SRC\s+\"(.+?)\"$)",
};

// Each pattern is compiled when the first statement reaches it and kept for the life of the
// process; a function-local static makes that first use safe even from two threads.
template <PatternId id>
const regex::rpattern& Pattern()
{
    static const regex::rpattern compiled(kPatternTexts[id],
                                          regex::ignore_case | regex::repeat_match,
                                          regex::mode_recursive);
    return compiled;
}

// The first-character filter: the letter in upper or lower case.
bool StartsWith(const std::wstring& text, wchar_t upper)
{
    return !text.empty() && (text[0] == upper || text[0] == upper - L'A' + L'a');
}

std::wstring Unbracketed(std::wstring text)
{
    std::erase_if(text, [](wchar_t c) { return c == L'[' || c == L']'; });
    return text;
}

// A column list of a relation: unbracketed names between commas, each without surrounding blanks
// but with its inner spaces ("[Customer ID]" is "Customer ID"). Nothing after a final comma adds
// a name.
std::vector<std::wstring> ColumnNames(const std::wstring& list)
{
    std::vector<std::wstring> names = Split(Unbracketed(list), L",");
    for (std::wstring& name : names)
        Trim(name);
    if (!names.empty() && names.back().empty())
        names.pop_back();
    return names;
}

// The groups of the last match, as copies of the statement's text or as places in it.
class Matcher {
public:
    explicit Matcher(const std::wstring& text) : text_(text) {}

    bool Matches(const regex::rpattern& pattern)
    {
        return pattern.match(text_, results_).matched;
    }
    std::wstring Group(size_t i) const { return results_.backref(i).str(); }
    TextSpan Span(size_t i) const
    {
        const auto& group = results_.backref(i);
        if (!group.matched)
            return {0, 0};
        return {static_cast<size_t>(group.first - text_.begin()), group.length()};
    }

private:
    const std::wstring& text_;
    regex::match_results results_;
};

}  // namespace

std::span<const wchar_t* const> SQLParser::PatternTexts()
{
    return kPatternTexts;
}

SQLParser::SQLParser(const std::wstring& script) : script_(script)
{
    lineCount_ = static_cast<int>(std::count(script_.begin(), script_.end(), L'\n'));
}

bool SQLParser::ReadLine(std::wstring_view& line)
{
    if (position_ >= script_.size())
        return false;
    size_t end = script_.find(L'\n', position_);
    if (end == std::wstring_view::npos)
        end = script_.size();
    line = script_.substr(position_, end - position_);
    position_ = end + 1;
    return true;
}

// Lines are joined where they stand in the script, and the statement is handed to its command
// without another copy: a synchronisation statement may be megabytes long.
std::unique_ptr<SQLCommand> SQLParser::Next()
{
    std::wstring_view line;
    while (ReadLine(line)) {
        ++lineNumber_;
        if (statement_.empty())
            startLine_ = lineNumber_;
        line = Trimmed(line);
        if (line.empty() || line.starts_with(L"--"))
            continue;
        statement_ += line;
        if (line.back() == L';') {
            statement_.pop_back();
            // A ";" alone on the last line leaves the blank that joined it: remove it too, so
            // that the anchored patterns still see the statement's real end.
            Trim(statement_);
            return Take();
        }
        statement_ += L' ';
    }
    Trim(statement_);
    if (statement_.empty())
        return nullptr;
    return Take();
}

std::unique_ptr<SQLCommand> SQLParser::Take()
{
    std::unique_ptr<SQLCommand> command = Classify(std::move(statement_), startLine_);
    statement_.clear();  // moved from: valid, but of no known content
    return command;
}

std::unique_ptr<SQLCommand> SQLParser::Classify(std::wstring text, int line)
{
    // Each command takes the text over; the groups are read from it before the command is built.
    Matcher m(text);
    if (StartsWith(text, L'A')) {
        if (m.Matches(Pattern<kValidationRuleAdd>()))
            return std::make_unique<SQLCommandAlterValidationRule>(
                std::move(text), line, m.Group(1), m.Group(2), m.Group(3));
        if (m.Matches(Pattern<kValidationRuleDrop>()))
            return std::make_unique<SQLCommandAlterValidationRule>(
                std::move(text), line, m.Group(1), m.Group(2), std::wstring());
    }
    if (m.Matches(Pattern<kZeroLength>())) {
        const bool allow = ToLowerCopy(m.Group(2)) == L"allow";
        return std::make_unique<SQLCommandAlterZeroLength>(std::move(text), line, m.Group(1),
                                                           m.Group(3), allow);
    }
    if (StartsWith(text, L'U') && m.Matches(Pattern<kUpdateEncoded>()))
        return std::make_unique<SQLCommandUpdate>(std::move(text), line, m.Span(1), m.Span(2),
                                                  m.Span(4));
    if (StartsWith(text, L'I') && m.Matches(Pattern<kInsertEncoded>()))
        return std::make_unique<SQLCommandInsertChr>(std::move(text), line, m.Span(1), m.Span(2),
                                                     m.Span(3));
    if (StartsWith(text, L'A') && m.Matches(Pattern<kForeignKeyNoIndex>())) {
        const std::vector<std::wstring> columns = ColumnNames(m.Group(3));
        const std::vector<std::wstring> referenced = ColumnNames(m.Group(5));
        std::vector<SQLCommandAddConstraintNoIndex::ColumnPair> pairs;
        for (size_t i = 0; i < columns.size() && i < referenced.size(); ++i)
            pairs.emplace_back(columns[i], referenced[i]);
        return std::make_unique<SQLCommandAddConstraintNoIndex>(
            std::move(text), line, Unbracketed(m.Group(1)), Unbracketed(m.Group(4)),
            Unbracketed(m.Group(2)), std::move(pairs));
    }
    if (StartsWith(text, L'C')) {
        if (m.Matches(Pattern<kView>()))
            return std::make_unique<SQLCommandCreateView>(std::move(text), line,
                                                          Unbracketed(m.Group(1)), m.Group(2));
        if (m.Matches(Pattern<kProcedure>()))
            return std::make_unique<SQLCommandCreateProcedure>(
                std::move(text), line, Unbracketed(m.Group(1)), m.Group(2), m.Group(3));
    }
    if (StartsWith(text, L'L')) {
        if (m.Matches(Pattern<kLinkOdbc>()))
            return std::make_unique<SQLCommandLinkODBC>(std::move(text), line,
                                                        Unbracketed(m.Group(1)), m.Group(3),
                                                        Unbracketed(m.Group(2)));
        if (m.Matches(Pattern<kLinkAccess>()))
            return std::make_unique<SQLCommandLinkAccess>(std::move(text), line,
                                                          Unbracketed(m.Group(1)), m.Group(3),
                                                          Unbracketed(m.Group(2)));
    }
    return std::make_unique<SQLCommand>(std::move(text), line);
}

}  // namespace SQLExecutor
