// A small CSS selector parser and right-to-left matcher.
#include "platform/html/selector.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/html/element.h"

namespace html {

namespace {

struct StateName {
    unsigned bit;
    const char* name;
};
constexpr StateName kStateNames[] = {
    {kStateLink, "link"},         {kStateHover, "hover"},         {kStateActive, "active"},
    {kStateFocus, "focus"},       {kStateVisited, "visited"},     {kStateCurrent, "current"},
    {kStateChecked, "checked"},   {kStateDisabled, "disabled"},   {kStateReadOnly, "read-only"},
    {kStateExpanded, "expanded"}, {kStateCollapsed, "collapsed"}, {kStateFocusable, "focusable"},
    {kStateAnchor, "anchor"},     {kStateOwnsPopup, "owns-popup"}, {kStatePressed, "pressed"},
    {kStatePopup, "popup"},
};

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string ReadName(std::string_view s, std::size_t& pos)
{
    const std::size_t start = pos;
    while (pos < s.size() && IsNameChar(s[pos]))
        ++pos;
    return std::string(s.substr(start, pos - start));
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void SkipSpaces(std::string_view s, std::size_t& pos)
{
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
        ++pos;
}

bool HasWord(std::string_view list, std::string_view word)
{
    std::size_t pos = 0;
    while (pos < list.size()) {
        while (pos < list.size() && std::isspace(static_cast<unsigned char>(list[pos])))
            ++pos;
        std::size_t end = pos;
        while (end < list.size() && !std::isspace(static_cast<unsigned char>(list[end])))
            ++end;
        if (end > pos && list.substr(pos, end - pos) == word)
            return true;
        pos = end;
    }
    return false;
}

}  // namespace

const char* StatePseudoClass(unsigned stateBit)
{
    for (const auto& s : kStateNames)
        if (s.bit == stateBit)
            return s.name;
    return nullptr;
}

const std::vector<unsigned>& PseudoClassStates()
{
    static const std::vector<unsigned> bits = [] {
        std::vector<unsigned> v;
        for (const auto& s : kStateNames)
            v.push_back(s.bit);
        return v;
    }();
    return bits;
}

bool Selector::ParseCompound(std::string_view s, std::size_t& pos, Compound& c)
{
    const std::size_t start = pos;
    if (pos < s.size() && s[pos] == '*')
        ++pos;
    else if (pos < s.size() && IsNameChar(s[pos]))
        c.tag = Lower(ReadName(s, pos));
    while (pos < s.size()) {
        const char ch = s[pos];
        if (ch == '#' || ch == '.') {
            ++pos;
            std::string name = ReadName(s, pos);
            if (name.empty())
                return false;
            (ch == '#' ? c.ids : c.classes).push_back(std::move(name));
        } else if (ch == '[') {
            ++pos;
            SkipSpaces(s, pos);
            AttributeTest t;
            t.name = Lower(ReadName(s, pos));
            if (t.name.empty())
                return false;
            SkipSpaces(s, pos);
            if (pos < s.size() && s[pos] != ']') {
                if (s[pos] == '=') {
                    t.op = '=';
                    ++pos;
                } else if (pos + 1 < s.size() && s[pos + 1] == '=' &&
                           std::string_view("~|^$*").find(s[pos]) != std::string_view::npos) {
                    t.op = s[pos];
                    pos += 2;
                } else {
                    return false;
                }
                SkipSpaces(s, pos);
                if (pos < s.size() && (s[pos] == '"' || s[pos] == '\'')) {
                    const char quote = s[pos++];
                    const std::size_t end = s.find(quote, pos);
                    if (end == std::string_view::npos)
                        return false;
                    t.value = std::string(s.substr(pos, end - pos));
                    pos = end + 1;
                } else {
                    t.value = ReadName(s, pos);
                }
                SkipSpaces(s, pos);
            }
            if (pos >= s.size() || s[pos] != ']')
                return false;
            ++pos;
            c.attributes.push_back(std::move(t));
        } else if (ch == ':') {
            ++pos;
            if (pos < s.size() && s[pos] == ':')
                return false;  // pseudo-elements never match elements
            const std::string name = Lower(ReadName(s, pos));
            if (pos < s.size() && s[pos] == '(') {
                const std::size_t close = s.find(')', pos);
                if (close == std::string_view::npos)
                    return false;
                std::string_view arg = s.substr(pos + 1, close - pos - 1);
                pos = close + 1;
                if (name == "not") {
                    Compound neg;
                    std::size_t p = 0;
                    while (p < arg.size() && std::isspace(static_cast<unsigned char>(arg[p])))
                        ++p;
                    if (!ParseCompound(arg, p, neg))
                        return false;
                    c.negations.push_back(std::move(neg));
                } else if (name == "nth-child") {
                    char* end = nullptr;
                    const std::string a(arg);
                    const long n = std::strtol(a.c_str(), &end, 10);
                    if (end == a.c_str() || n < 1)
                        return false;
                    c.nthChild.push_back(int(n));
                } else {
                    return false;
                }
                continue;
            }
            bool known = false;
            for (const auto& st : kStateNames)
                if (name == st.name) {
                    c.states |= st.bit;
                    known = true;
                }
            if (!known) {
                if (name != "first-child" && name != "last-child" && name != "only-child" &&
                    name != "empty" && name != "root")
                    return false;
                c.structural.push_back(name);
            }
        } else {
            break;
        }
    }
    return pos > start;
}

bool Selector::Parse(std::string_view s)
{
    alternatives_.clear();
    std::size_t pos = 0;
    Complex current;
    char pending = 0;
    while (true) {
        SkipSpaces(s, pos);
        Compound c;
        if (!ParseCompound(s, pos, c)) {
            alternatives_.clear();
            return false;
        }
        c.combinator = current.empty() ? 0 : (pending ? pending : ' ');
        current.push_back(std::move(c));
        pending = 0;
        const std::size_t before = pos;
        SkipSpaces(s, pos);
        if (pos >= s.size()) {
            alternatives_.push_back(std::move(current));
            return true;
        }
        const char ch = s[pos];
        if (ch == ',') {
            ++pos;
            alternatives_.push_back(std::move(current));
            current.clear();
        } else if (ch == '>' || ch == '+' || ch == '~') {
            pending = ch;
            ++pos;
        } else if (pos == before) {
            alternatives_.clear();
            return false;
        }
    }
}

bool Selector::MatchCompound(const Compound& c, const Element* e)
{
    if (e->IsText())
        return false;
    if (!c.tag.empty() && c.tag != e->Tag())
        return false;
    if ((e->State() & c.states) != c.states)
        return false;
    if (!c.ids.empty()) {
        const std::string* id = e->Attribute("id");
        for (const auto& want : c.ids)
            if (!id || *id != want)
                return false;
    }
    if (!c.classes.empty()) {
        const std::string* cls = e->Attribute("class");
        for (const auto& want : c.classes)
            if (!cls || !HasWord(*cls, want))
                return false;
    }
    for (const auto& t : c.attributes) {
        const std::string* v = e->Attribute(t.name);
        if (!v)
            return false;
        const std::string& val = *v;
        bool ok = true;
        switch (t.op) {
        case '=': ok = val == t.value; break;
        case '~': ok = HasWord(val, t.value); break;
        case '|': ok = val == t.value || val.starts_with(t.value + "-"); break;
        case '^': ok = !t.value.empty() && val.starts_with(t.value); break;
        case '$': ok = !t.value.empty() && val.ends_with(t.value); break;
        case '*': ok = !t.value.empty() && val.find(t.value) != std::string::npos; break;
        default: break;
        }
        if (!ok)
            return false;
    }
    const Element* parent = e->Parent();
    for (const auto& s : c.structural) {
        if (s == "root") {
            if (parent)
                return false;
        } else if (s == "empty") {
            if (!e->Nodes().empty())
                return false;
        } else {
            if (!parent)
                return false;
            const int index = e->Index();
            const int last = int(parent->ChildCount()) - 1;
            if ((s == "first-child" || s == "only-child") && index != 0)
                return false;
            if ((s == "last-child" || s == "only-child") && index != last)
                return false;
        }
    }
    for (int n : c.nthChild)
        if (!parent || e->Index() != n - 1)
            return false;
    for (const auto& neg : c.negations)
        if (MatchCompound(neg, e))
            return false;
    return true;
}

bool Selector::MatchComplex(const Complex& c, std::size_t index, const Element* e)
{
    if (!MatchCompound(c[index], e))
        return false;
    if (index == 0)
        return true;
    switch (c[index].combinator) {
    case '>': return e->Parent() && MatchComplex(c, index - 1, e->Parent());
    case '+': {
        const Element* p = e->Parent();
        const int i = e->Index();
        return p && i > 0 && MatchComplex(c, index - 1, p->Child(std::size_t(i - 1)));
    }
    case '~': {
        const Element* p = e->Parent();
        for (int i = e->Index() - 1; p && i >= 0; --i)
            if (MatchComplex(c, index - 1, p->Child(std::size_t(i))))
                return true;
        return false;
    }
    default:
        for (const Element* a = e->Parent(); a; a = a->Parent())
            if (MatchComplex(c, index - 1, a))
                return true;
        return false;
    }
}

bool Selector::Matches(const Element* e) const
{
    return std::any_of(alternatives_.begin(), alternatives_.end(), [&](const Complex& c) {
        return MatchComplex(c, c.size() - 1, e);
    });
}

}  // namespace html
