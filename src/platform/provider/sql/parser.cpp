// Recursive-descent parser of Access SQL. One function per grammar rule; operator
// precedence follows Access: ^, unary -, * /, \, Mod, + -, &, comparisons (LIKE,
// IS, IN, BETWEEN), NOT, AND, OR, XOR, EQV.
#include "platform/provider/sql/parser.h"

#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <string_view>
#include <vector>

#include "platform/provider/sql/literal_values.h"
#include "platform/provider/sql/tokenizer.h"

namespace provider::sql {

namespace {

using automation::Variant;

// Deeper nesting than this is refused rather than risking the stack.
constexpr int kMaxNesting = 200;
constexpr int kMaxOperatorChanges = 1000;
constexpr size_t kMaxQuotedText = 60;

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

struct TypeName {
    const wchar_t* name;
    AccessType type;
};

constexpr TypeName kTypeNames[] = {
    {L"TEXT", AccessType::Text},
    {L"VARCHAR", AccessType::Text},
    {L"CHAR", AccessType::Text},
    {L"CHARACTER", AccessType::Text},
    {L"STRING", AccessType::Text},
    {L"ALPHANUMERIC", AccessType::Text},
    {L"NCHAR", AccessType::Text},
    {L"NVARCHAR", AccessType::Text},
    {L"MEMO", AccessType::Memo},
    {L"LONGTEXT", AccessType::Memo},
    {L"LONGCHAR", AccessType::Memo},
    {L"NOTE", AccessType::Memo},
    {L"NTEXT", AccessType::Memo},
    {L"BYTE", AccessType::Byte},
    {L"TINYINT", AccessType::Byte},
    {L"INTEGER1", AccessType::Byte},
    {L"SHORT", AccessType::Short},
    {L"SMALLINT", AccessType::Short},
    {L"INTEGER2", AccessType::Short},
    {L"LONG", AccessType::Long},
    {L"INT", AccessType::Long},
    {L"INTEGER", AccessType::Long},
    {L"INTEGER4", AccessType::Long},
    {L"SINGLE", AccessType::Single},
    {L"REAL", AccessType::Single},
    {L"FLOAT4", AccessType::Single},
    {L"IEEESINGLE", AccessType::Single},
    {L"DOUBLE", AccessType::Double},
    {L"FLOAT", AccessType::Double},
    {L"FLOAT8", AccessType::Double},
    {L"IEEEDOUBLE", AccessType::Double},
    {L"NUMBER", AccessType::Double},
    {L"CURRENCY", AccessType::Currency},
    {L"MONEY", AccessType::Currency},
    {L"DATETIME", AccessType::DateTime},
    {L"DATE", AccessType::DateTime},
    {L"TIME", AccessType::DateTime},
    {L"TIMESTAMP", AccessType::DateTime},
    {L"YESNO", AccessType::YesNo},
    {L"BIT", AccessType::YesNo},
    {L"LOGICAL", AccessType::YesNo},
    {L"LOGICAL1", AccessType::YesNo},
    {L"BOOLEAN", AccessType::YesNo},
    {L"COUNTER", AccessType::Counter},
    {L"AUTOINCREMENT", AccessType::Counter},
    {L"IDENTITY", AccessType::Counter},
    {L"DECIMAL", AccessType::Decimal},
    {L"NUMERIC", AccessType::Decimal},
    {L"DEC", AccessType::Decimal},
    {L"GUID", AccessType::Guid},
    {L"UNIQUEIDENTIFIER", AccessType::Guid},
    {L"BINARY", AccessType::Binary},
    {L"VARBINARY", AccessType::Binary},
    {L"LONGBINARY", AccessType::LongBinary},
    {L"OLEOBJECT", AccessType::LongBinary},
    {L"IMAGE", AccessType::LongBinary},
    {L"GENERAL", AccessType::LongBinary},
};

constexpr size_t kMaxSpareTokens = 4096;

std::vector<Token>& SpareTokens()
{
    thread_local std::vector<Token> spare;
    return spare;
}

class Parser {
public:
    // The token buffer of the thread's previous parse is reused: a script parses
    // statement after statement, and each would otherwise allocate its own.
    explicit Parser(std::wstring_view text) : text_(text)
    {
        toks_.swap(SpareTokens());
        Tokenize(text, toks_);
    }
    ~Parser()
    {
        if (toks_.capacity() <= kMaxSpareTokens)
            toks_.swap(SpareTokens());
    }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    Statement ParseWholeStatement();
    ExprPtr ParseWholeExpression(bool rule);

private:
    std::wstring_view text_;
    std::vector<Token> toks_;
    size_t i_ = 0;

    // What the messages call the part being read ("INSERT INTO statement",
    // "FROM clause") and the statement kind for expression messages.
    const wchar_t* context_ = L"SQL statement";
    const wchar_t* statementName_ = nullptr;
    const std::vector<ParameterDecl>* declared_ = nullptr;  // names that are parameters
    int32_t positional_ = 0;
    bool ruleMode_ = false;
    int exprDepth_ = 0;
    uint32_t exprStart_ = 0;
    int nesting_ = 0;

    // --- token helpers
    const Token& Peek(size_t ahead = 0) const
    {
        size_t k = i_ + ahead;
        return k < toks_.size() ? toks_[k] : toks_.back();
    }
    const Token& Next() { return toks_[i_ < toks_.size() - 1 ? i_++ : i_]; }
    bool Is(TokenKind kind, size_t ahead = 0) const { return Peek(ahead).kind == kind; }
    bool IsKw(Keyword kw, size_t ahead = 0) const
    {
        const Token& t = Peek(ahead);
        return t.kind == TokenKind::Name && t.keyword == kw;
    }
    bool Accept(TokenKind kind)
    {
        if (!Is(kind))
            return false;
        ++i_;
        return true;
    }
    bool AcceptKw(Keyword kw)
    {
        if (!IsKw(kw))
            return false;
        ++i_;
        return true;
    }
    void Expect(TokenKind kind)
    {
        if (!Accept(kind))
            Fail();
    }
    void ExpectKw(Keyword kw)
    {
        if (!AcceptKw(kw))
            Fail();
    }
    uint32_t LastEnd() const
    {
        if (i_ == 0)
            return 0;
        const Token& t = toks_[i_ - 1];
        return t.pos + t.len;
    }
    std::wstring_view Raw(const Token& t) const { return text_.substr(t.pos, t.len); }

    // --- errors
    std::wstring Near(const Token& t) const;
    std::wstring Where(const Token& t, bool withStatement) const;
    [[noreturn]] void Fail() const { Fail(Peek()); }
    [[noreturn]] void Fail(const Token& t) const;
    [[noreturn]] void FailExpr(const Token& t, bool missingOperator) const;
    [[noreturn]] void FailAt(std::wstring message, uint32_t offset) const;
    std::wstring ExprText(uint32_t end) const;

    // Alternating operators of one level ("a - b + c - d") nest one node per change
    // of operator; a chain of too many changes is refused like deep parentheses.
    struct OperatorRuns {
        Op last = Op::None;
        int changes = 0;
        void Add(Parser& p, Op op)
        {
            if (op != last && ++changes > kMaxOperatorChanges)
                p.FailTooComplex();
            last = op;
        }
    };
    [[noreturn]] void FailTooComplex() const
    {
        FailAt(L"Expression too complex in query expression '" + ExprText(Peek().pos + Peek().len) +
                   L"'" + Where(Peek(), true),
               Peek().pos);
    }

    struct Nest {
        explicit Nest(Parser& p) : p_(p)
        {
            if (++p_.nesting_ > kMaxNesting)
                p_.FailTooComplex();
        }
        ~Nest() { --p_.nesting_; }
        Parser& p_;
    };

    // --- names
    bool AtName() const
    {
        const Token& t = Peek();
        return t.kind == TokenKind::QuotedName ||
               (t.kind == TokenKind::Name && !IsReserved(t.keyword));
    }
    std::wstring ParseName();
    std::vector<std::wstring> ParseNameList();  // ( a, b, ... )

    // --- statements
    Statement ParseStatementBody(bool allowDdl);
    void ParseParameterDecls(std::vector<ParameterDecl>& out, TokenKind end);
    std::unique_ptr<Select> ParseSelect();
    void ParseSelectCore(SelectCore& core);
    TableRefPtr ParseTableRef();
    TableRefPtr ParseTablePrimary();
    std::wstring ParseAlias();
    Insert ParseInsert();
    Update ParseUpdate();
    Delete ParseDelete();
    Statement ParseCreate();
    Statement ParseDrop();
    AlterTable ParseAlter();
    LinkTable ParseLink();
    CreateTable ParseCreateTable();
    CreateIndex ParseCreateIndex(bool unique);
    CreateView ParseCreateView();
    CreateProcedure ParseCreateProcedure();
    ColumnDef ParseColumnDef();
    DataType ParseDataType();
    int32_t ParseTypeArgument();
    bool AtConstraintStart() const;
    Constraint ParseTableConstraint();
    bool ParseColumnConstraint(ColumnDef& column);
    void ParseReferences(Constraint& c);
    void ParseCheck(Constraint& c);

    // --- expressions
    ExprPtr ParseExpr();
    ExprPtr ParseEqv();
    ExprPtr ParseXor();
    ExprPtr ParseOr();
    ExprPtr ParseAnd();
    ExprPtr ParseNot();
    ExprPtr ParseComparison();
    ExprPtr ParseConcat();
    ExprPtr ParseAdditive();
    ExprPtr ParseMod();
    ExprPtr ParseIntDivide();
    ExprPtr ParseMultiplicative();
    ExprPtr ParseUnary();
    ExprPtr ParsePower();
    ExprPtr ParsePowerOperand();
    ExprPtr ParsePrimary();
    ExprPtr ParseNameExpr();
    ExprPtr ParseFunction();
    std::unique_ptr<Select> ParseSubquery();  // after '(' and at SELECT; consumes ')'
    ExprPtr ParseLiteral();
    ExprPtr ParseValue();
    bool StartsOperand(const Token& t) const;
    bool StartsComparison() const;
    static bool IsBroken(const Token& t)
    {
        return t.kind == TokenKind::BadCharacter || t.kind == TokenKind::UnclosedString ||
               t.kind == TokenKind::UnclosedDate || t.kind == TokenKind::UnclosedName;
    }

    // A run of one operator becomes one node with all its operands ("a & b & c" has
    // three), so that the long & chains of scripts (text with many line breaks) make
    // a flat node rather than a tree as deep as the chain is long.
    static ExprPtr Binary(Op op, ExprPtr l, ExprPtr r)
    {
        if (l->kind == ExprKind::Binary && l->op == op) {
            l->args.push_back(std::move(r));
            return l;
        }
        auto e = std::make_unique<Expr>(ExprKind::Binary, l->pos);
        e->op = op;
        e->args.reserve(2);
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(r));
        return e;
    }
    static ExprPtr Unary(Op op, uint32_t pos, ExprPtr operand)
    {
        auto e = std::make_unique<Expr>(ExprKind::Unary, pos);
        e->op = op;
        e->args.push_back(std::move(operand));
        return e;
    }
};

// ---------------------------------------------------------------------------
// Errors

std::wstring Parser::Near(const Token& t) const
{
    if (t.kind == TokenKind::End)
        return L" at the end";
    std::wstring_view raw = Raw(t);
    std::wstring shown(raw.substr(0, kMaxQuotedText));
    if (raw.size() > kMaxQuotedText)
        shown += L"...";
    return L" near '" + shown + L"'";
}

std::wstring Parser::Where(const Token& t, bool withStatement) const
{
    std::wstring s = Near(t) + L" (";
    if (withStatement && statementName_ != nullptr) {
        s += statementName_;
        s += L" statement, ";
    }
    s += L"position " + std::to_wstring(t.pos + 1) + L").";
    return s;
}

std::wstring Parser::ExprText(uint32_t end) const
{
    uint32_t begin = exprDepth_ > 0 ? exprStart_ : (i_ < toks_.size() ? Peek().pos : 0);
    if (end < begin)
        end = begin;
    std::wstring_view v = text_.substr(begin, end - begin);
    while (!v.empty() && std::iswspace(static_cast<wint_t>(v.back())))
        v.remove_suffix(1);
    std::wstring shown(v.substr(0, 2 * kMaxQuotedText));
    if (v.size() > 2 * kMaxQuotedText)
        shown += L"...";
    return shown;
}

void Parser::FailAt(std::wstring message, uint32_t offset) const
{
    throw SyntaxError(std::move(message), offset);
}

void Parser::Fail(const Token& t) const
{
    switch (t.kind) {
        case TokenKind::UnclosedString:
        case TokenKind::UnclosedDate:
        case TokenKind::BadCharacter:
            FailExpr(t, false);
        case TokenKind::UnclosedName:
            FailAt(L"Invalid bracketing of name '" + std::wstring(Raw(t)) + L"'" + Where(t, true),
                   t.pos);
        default:
            break;
    }
    FailAt(std::wstring(L"Syntax error in ") + context_ + Where(t, false), t.pos);
}

void Parser::FailExpr(const Token& t, bool missingOperator) const
{
    if (t.kind == TokenKind::UnclosedName)
        Fail(t);
    // Nothing of an expression was read ("SELECT FROM t"): the clause is at fault.
    if (exprDepth_ == 1 && t.pos == exprStart_ && !IsBroken(t))
        Fail(t);
    const wchar_t* what = missingOperator ? L"Syntax error (missing operator) in query expression '"
                                          : L"Syntax error in query expression '";
    if (t.kind == TokenKind::UnclosedString)
        what = L"Syntax error in string in query expression '";
    if (t.kind == TokenKind::UnclosedDate || t.kind == TokenKind::Date)
        what = L"Syntax error in date in query expression '";
    uint32_t end = t.kind == TokenKind::End ? t.pos : t.pos + t.len;
    std::wstring text = exprDepth_ == 0 ? std::wstring(Raw(t)) : ExprText(end);
    if (text.empty())
        Fail(t);  // no expression at all: the clause itself is wrong
    FailAt(what + text + L"'" + Where(t, true), t.pos);
}

// ---------------------------------------------------------------------------
// Names

std::wstring Parser::ParseName()
{
    const Token& t = Peek();
    if (t.kind == TokenKind::QuotedName) {
        if (t.len <= 2)
            Fail();  // [] names nothing
        ++i_;
        return TokenValue(text_, t);
    }
    if (t.kind == TokenKind::Name && !IsReserved(t.keyword)) {
        ++i_;
        return std::wstring(Raw(t));
    }
    Fail();
}

std::vector<std::wstring> Parser::ParseNameList()
{
    std::vector<std::wstring> names;
    names.reserve(16);  // one allocation for the column lists of ordinary tables
    Expect(TokenKind::LParen);
    do {
        names.push_back(ParseName());
    } while (Accept(TokenKind::Comma));
    Expect(TokenKind::RParen);
    return names;
}

// ---------------------------------------------------------------------------
// Statements

Statement Parser::ParseWholeStatement()
{
    Statement st;
    if (IsKw(Keyword::Parameters)) {
        ++i_;
        context_ = L"PARAMETER clause";
        ParseParameterDecls(st.parameters, TokenKind::Semicolon);
        Expect(TokenKind::Semicolon);
        declared_ = &st.parameters;
    }
    Statement body = ParseStatementBody(true);
    st.body = std::move(body.body);
    st.pos = body.pos;
    Accept(TokenKind::Semicolon);
    if (IsBroken(Peek()))
        Fail();
    if (!Is(TokenKind::End)) {
        FailAt(L"Characters found after end of SQL statement" + Where(Peek(), true), Peek().pos);
    }
    st.positionalParameters = positional_;
    return st;
}

void Parser::ParseParameterDecls(std::vector<ParameterDecl>& out, TokenKind end)
{
    do {
        if (Is(end) && out.empty())
            Fail();
        ParameterDecl p;
        p.pos = Peek().pos;
        p.name = ParseName();
        p.type = ParseDataType();
        out.push_back(std::move(p));
    } while (Accept(TokenKind::Comma));
}

Statement Parser::ParseStatementBody(bool allowDdl)
{
    Statement st;
    const Token& first = Peek();
    st.pos = first.pos;
    Keyword kw = first.kind == TokenKind::Name ? first.keyword : Keyword::None;
    switch (kw) {
        case Keyword::Select:
            statementName_ = L"SELECT";
            context_ = L"SELECT statement";
            st.body = std::move(*ParseSelect());
            return st;
        case Keyword::Insert:
            st.body = ParseInsert();
            return st;
        case Keyword::Update:
            st.body = ParseUpdate();
            return st;
        case Keyword::Delete:
            st.body = ParseDelete();
            return st;
        default:
            break;
    }
    if (allowDdl) {
        switch (kw) {
            case Keyword::Create:
                return ParseCreate();
            case Keyword::Drop:
                return ParseDrop();
            case Keyword::Alter:
                st.body = ParseAlter();
                return st;
            case Keyword::Link:
                st.body = ParseLink();
                return st;
            default:
                break;
        }
    }
    FailAt(
        L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
        L"'UPDATE'" +
            Where(first, false),
        first.pos);
}

std::unique_ptr<Select> Parser::ParseSelect()
{
    Nest nest(*this);
    auto s = std::make_unique<Select>();
    s->span.begin = Peek().pos;
    ParseSelectCore(s->core);
    while (AcceptKw(Keyword::Union)) {
        UnionPart part;
        part.all = AcceptKw(Keyword::All);
        ParseSelectCore(part.core);
        s->unions.push_back(std::move(part));
    }
    if (IsKw(Keyword::Order)) {
        const wchar_t* saved = context_;
        context_ = L"ORDER BY clause";
        ++i_;
        ExpectKw(Keyword::By);
        do {
            OrderItem item;
            item.expr = ParseExpr();
            if (AcceptKw(Keyword::Desc)) {
                item.descending = true;
            } else {
                AcceptKw(Keyword::Asc);
            }
            s->orderBy.push_back(std::move(item));
        } while (Accept(TokenKind::Comma));
        context_ = saved;
    }
    s->span.end = LastEnd();
    return s;
}

void Parser::ParseSelectCore(SelectCore& core)
{
    core.pos = Peek().pos;
    const wchar_t* saved = context_;
    ExpectKw(Keyword::Select);
    if (AcceptKw(Keyword::Distinct)) {
        core.distinct = true;
    } else if (AcceptKw(Keyword::DistinctRow)) {
        core.distinctRow = true;
    } else {
        AcceptKw(Keyword::All);
    }
    if (AcceptKw(Keyword::Top)) {
        const Token& n = Peek();
        std::wstring_view raw = Raw(n);
        if (n.kind != TokenKind::Number || raw.find_first_not_of(L"0123456789") != raw.npos ||
            raw.size() > 18) {
            Fail();
        }
        core.top = std::wcstoll(std::wstring(raw).c_str(), nullptr, 10);
        ++i_;
        core.topPercent = AcceptKw(Keyword::Percent);
    }
    do {
        SelectItem item;
        const Token& t = Peek();
        if (t.kind == TokenKind::Star) {
            ++i_;
            item.expr = std::make_unique<Expr>(ExprKind::Star, t.pos);
        } else if ((t.kind == TokenKind::Name || t.kind == TokenKind::QuotedName) &&
                   Is(TokenKind::Dot, 1) && Is(TokenKind::Star, 2)) {
            item.expr = std::make_unique<Expr>(ExprKind::Star, t.pos);
            item.expr->qualifier = ParseName();
            i_ += 2;
        } else {
            item.expr = ParseExpr();
            if (AcceptKw(Keyword::As))
                item.alias = ParseName();
        }
        core.items.push_back(std::move(item));
    } while (Accept(TokenKind::Comma));

    if (AcceptKw(Keyword::From)) {
        context_ = L"FROM clause";
        do {
            core.from.push_back(ParseTableRef());
        } while (Accept(TokenKind::Comma));
        context_ = saved;
    }
    if (AcceptKw(Keyword::Where))
        core.where = ParseExpr();
    if (IsKw(Keyword::Group)) {
        context_ = L"GROUP BY clause";
        ++i_;
        ExpectKw(Keyword::By);
        do {
            core.groupBy.push_back(ParseExpr());
        } while (Accept(TokenKind::Comma));
        context_ = saved;
    }
    if (AcceptKw(Keyword::Having))
        core.having = ParseExpr();
}

TableRefPtr Parser::ParseTableRef()
{
    Nest nest(*this);
    TableRefPtr left = ParseTablePrimary();
    while (true) {
        JoinKind kind;
        if (IsKw(Keyword::Inner)) {
            kind = JoinKind::Inner;
        } else if (IsKw(Keyword::Left)) {
            kind = JoinKind::Left;
        } else if (IsKw(Keyword::Right)) {
            kind = JoinKind::Right;
        } else {
            break;
        }
        ++i_;
        const wchar_t* saved = context_;
        context_ = L"JOIN operation";
        if (kind != JoinKind::Inner)
            AcceptKw(Keyword::Outer);
        ExpectKw(Keyword::Join);
        auto join = std::make_unique<TableRef>();
        join->kind = TableRefKind::Join;
        join->pos = left->pos;
        join->join = kind;
        join->left = std::move(left);
        join->right = ParseTablePrimary();
        ExpectKw(Keyword::On);
        join->on = ParseExpr();
        context_ = saved;
        left = std::move(join);
    }
    return left;
}

TableRefPtr Parser::ParseTablePrimary()
{
    const Token& t = Peek();
    if (t.kind == TokenKind::LParen) {
        ++i_;
        if (IsKw(Keyword::Select)) {
            auto ref = std::make_unique<TableRef>();
            ref->kind = TableRefKind::Subquery;
            ref->pos = t.pos;
            ref->subquery = ParseSubquery();
            ref->alias = ParseAlias();
            return ref;
        }
        TableRefPtr inner = ParseTableRef();
        Expect(TokenKind::RParen);
        return inner;
    }
    auto ref = std::make_unique<TableRef>();
    ref->pos = t.pos;
    ref->name = ParseName();
    ref->alias = ParseAlias();
    return ref;
}

// [AS] alias after a table; a plain word that is a keyword is never taken as one.
std::wstring Parser::ParseAlias()
{
    if (AcceptKw(Keyword::As))
        return ParseName();
    const Token& t = Peek();
    if (t.kind == TokenKind::QuotedName ||
        (t.kind == TokenKind::Name && t.keyword == Keyword::None))
        return ParseName();
    return {};
}

Insert Parser::ParseInsert()
{
    statementName_ = L"INSERT INTO";
    context_ = L"INSERT INTO statement";
    Insert ins;
    ExpectKw(Keyword::Insert);
    ExpectKw(Keyword::Into);
    ins.table = ParseName();
    if (Is(TokenKind::LParen))
        ins.columns = ParseNameList();
    if (AcceptKw(Keyword::Values)) {
        Expect(TokenKind::LParen);
        ins.values.reserve(ins.columns.size());
        do {
            ins.values.push_back(ParseValue());
        } while (Accept(TokenKind::Comma));
        Expect(TokenKind::RParen);
    } else if (IsKw(Keyword::Select)) {
        ins.select = ParseSelect();
    } else {
        Fail();
    }
    return ins;
}

Update Parser::ParseUpdate()
{
    statementName_ = L"UPDATE";
    context_ = L"UPDATE statement";
    Update up;
    ExpectKw(Keyword::Update);
    up.table = ParseTableRef();
    ExpectKw(Keyword::Set);
    do {
        Assignment a;
        a.pos = Peek().pos;
        a.column = ParseName();
        if (Accept(TokenKind::Dot)) {
            a.qualifier = std::move(a.column);
            a.column = ParseName();
        }
        Expect(TokenKind::Equal);
        a.value = ParseExpr();
        up.assignments.push_back(std::move(a));
    } while (Accept(TokenKind::Comma));
    if (AcceptKw(Keyword::Where))
        up.where = ParseExpr();
    return up;
}

Delete Parser::ParseDelete()
{
    statementName_ = L"DELETE";
    context_ = L"DELETE statement";
    Delete del;
    ExpectKw(Keyword::Delete);
    if (!Accept(TokenKind::Star) && !IsKw(Keyword::From)) {
        ParseName();  // DELETE t.* FROM t: the target is the table of the FROM clause
        Expect(TokenKind::Dot);
        Expect(TokenKind::Star);
    }
    ExpectKw(Keyword::From);
    context_ = L"FROM clause";
    del.table = ParseName();
    del.alias = ParseAlias();
    context_ = L"DELETE statement";
    if (AcceptKw(Keyword::Where))
        del.where = ParseExpr();
    return del;
}

Statement Parser::ParseCreate()
{
    Statement st;
    st.pos = Peek().pos;
    ++i_;  // CREATE
    if (IsKw(Keyword::Table)) {
        st.body = ParseCreateTable();
    } else if (IsKw(Keyword::Unique) && IsKw(Keyword::Index, 1)) {
        ++i_;
        st.body = ParseCreateIndex(true);
    } else if (IsKw(Keyword::Index)) {
        st.body = ParseCreateIndex(false);
    } else if (IsKw(Keyword::View)) {
        st.body = ParseCreateView();
    } else if (IsKw(Keyword::Procedure)) {
        st.body = ParseCreateProcedure();
    } else {
        statementName_ = L"CREATE";
        context_ = L"CREATE statement";
        Fail();
    }
    return st;
}

CreateTable Parser::ParseCreateTable()
{
    statementName_ = L"CREATE TABLE";
    context_ = L"CREATE TABLE statement";
    CreateTable ct;
    ExpectKw(Keyword::Table);
    ct.name = ParseName();
    Expect(TokenKind::LParen);
    do {
        // A clause that stops early is reported by its own name ("field definition").
        context_ = L"CREATE TABLE statement";
        if (AtConstraintStart()) {
            ct.constraints.push_back(ParseTableConstraint());
        } else {
            ct.columns.push_back(ParseColumnDef());
        }
    } while (Accept(TokenKind::Comma));
    Expect(TokenKind::RParen);
    return ct;
}

bool Parser::AtConstraintStart() const
{
    return IsKw(Keyword::Constraint) || IsKw(Keyword::Primary) || IsKw(Keyword::Unique) ||
           IsKw(Keyword::Foreign) || IsKw(Keyword::Check);
}

ColumnDef Parser::ParseColumnDef()
{
    context_ = L"field definition";
    ColumnDef c;
    c.pos = Peek().pos;
    c.name = ParseName();
    c.type = ParseDataType();
    while (true) {
        if (IsKw(Keyword::Not) && IsKw(Keyword::Null, 1)) {
            i_ += 2;
            c.notNull = true;
        } else if (AcceptKw(Keyword::Null)) {
        } else if (AcceptKw(Keyword::Default)) {
            uint32_t begin = Peek().pos;
            c.defaultValue = ParseExpr();
            c.defaultText = std::wstring(text_.substr(begin, LastEnd() - begin));
        } else if (IsKw(Keyword::With) &&
                   (IsKw(Keyword::Comp, 1) || IsKw(Keyword::Compression, 1))) {
            i_ += 2;
            c.compressed = true;
        } else if (!ParseColumnConstraint(c)) {
            break;
        }
    }
    return c;
}

DataType Parser::ParseDataType()
{
    const Token& t = Peek();
    if (t.kind != TokenKind::Name)
        Fail();
    DataType d;
    d.pos = t.pos;
    d.written.reserve(t.len);
    for (wchar_t ch : Raw(t))
        d.written.push_back(static_cast<wchar_t>(std::towupper(ch)));
    const TypeName* found = nullptr;
    for (const TypeName& n : kTypeNames) {
        if (d.written == n.name) {
            found = &n;
            break;
        }
    }
    if (found == nullptr)
        Fail();
    ++i_;
    d.type = found->type;
    if (!Is(TokenKind::LParen))
        return d;
    const Token& open = Next();
    switch (d.type) {
        case AccessType::Text:
        case AccessType::Binary:
            d.size = ParseTypeArgument();
            break;
        case AccessType::Decimal:
            d.precision = ParseTypeArgument();
            if (Accept(TokenKind::Comma))
                d.scale = ParseTypeArgument();
            break;
        case AccessType::Counter:
            d.seed = ParseTypeArgument();
            Expect(TokenKind::Comma);
            d.increment = ParseTypeArgument();
            break;
        default:
            Fail(open);  // this type takes no size
    }
    Expect(TokenKind::RParen);
    return d;
}

int32_t Parser::ParseTypeArgument()
{
    bool negative = Accept(TokenKind::Minus);
    const Token& t = Peek();
    std::wstring_view raw = Raw(t);
    if (t.kind != TokenKind::Number || raw.find_first_not_of(L"0123456789") != raw.npos ||
        raw.size() > 9) {
        Fail();
    }
    ++i_;
    int32_t v = static_cast<int32_t>(std::wcstol(std::wstring(raw).c_str(), nullptr, 10));
    return negative ? -v : v;
}

// One column-level clause, named or not; false when the next token starts none.
bool Parser::ParseColumnConstraint(ColumnDef& column)
{
    Constraint c;
    c.pos = Peek().pos;
    bool named = false;
    if (AcceptKw(Keyword::Constraint)) {
        context_ = L"CONSTRAINT clause";
        c.name = ParseName();
        named = true;
    }
    if (IsKw(Keyword::Primary)) {
        context_ = L"CONSTRAINT clause";
        ++i_;
        ExpectKw(Keyword::Key);
        c.kind = ConstraintKind::PrimaryKey;
    } else if (AcceptKw(Keyword::Unique)) {
        c.kind = ConstraintKind::Unique;
    } else if (named && IsKw(Keyword::Not)) {
        ++i_;
        ExpectKw(Keyword::Null);
        c.kind = ConstraintKind::NotNull;
        column.notNull = true;
    } else if (IsKw(Keyword::References)) {
        context_ = L"CONSTRAINT clause";
        c.kind = ConstraintKind::ForeignKey;
        ParseReferences(c);
    } else if (IsKw(Keyword::Check)) {
        context_ = L"CONSTRAINT clause";
        c.kind = ConstraintKind::Check;
        ParseCheck(c);
    } else if (named) {
        Fail();
    } else {
        return false;
    }
    column.constraints.push_back(std::move(c));
    context_ = L"field definition";
    return true;
}

Constraint Parser::ParseTableConstraint()
{
    context_ = L"CONSTRAINT clause";
    Constraint c;
    c.pos = Peek().pos;
    if (AcceptKw(Keyword::Constraint))
        c.name = ParseName();
    if (AcceptKw(Keyword::Primary)) {
        ExpectKw(Keyword::Key);
        c.kind = ConstraintKind::PrimaryKey;
        c.columns = ParseNameList();
    } else if (AcceptKw(Keyword::Unique)) {
        c.kind = ConstraintKind::Unique;
        c.columns = ParseNameList();
    } else if (AcceptKw(Keyword::Foreign)) {
        ExpectKw(Keyword::Key);
        c.kind = ConstraintKind::ForeignKey;
        if (AcceptKw(Keyword::No)) {
            ExpectKw(Keyword::Index);
            c.noIndex = true;
        }
        c.columns = ParseNameList();
        ParseReferences(c);
    } else if (IsKw(Keyword::Check)) {
        c.kind = ConstraintKind::Check;
        ParseCheck(c);
    } else {
        Fail();
    }
    return c;
}

void Parser::ParseReferences(Constraint& c)
{
    ExpectKw(Keyword::References);
    c.refTable = ParseName();
    if (Is(TokenKind::LParen))
        c.refColumns = ParseNameList();
    while (AcceptKw(Keyword::On)) {
        RefAction* target = nullptr;
        if (AcceptKw(Keyword::Update)) {
            target = &c.onUpdate;
        } else if (AcceptKw(Keyword::Delete)) {
            target = &c.onDelete;
        } else {
            Fail();
        }
        if (AcceptKw(Keyword::Cascade)) {
            *target = RefAction::Cascade;
        } else if (AcceptKw(Keyword::Set)) {
            ExpectKw(Keyword::Null);
            *target = RefAction::SetNull;
        } else if (AcceptKw(Keyword::No)) {
            ExpectKw(Keyword::Action);
            *target = RefAction::NoAction;
        } else {
            Fail();
        }
    }
}

void Parser::ParseCheck(Constraint& c)
{
    ExpectKw(Keyword::Check);
    Expect(TokenKind::LParen);
    uint32_t begin = Peek().pos;
    c.check = ParseExpr();
    c.checkText = std::wstring(text_.substr(begin, LastEnd() - begin));
    Expect(TokenKind::RParen);
}

CreateIndex Parser::ParseCreateIndex(bool unique)
{
    statementName_ = L"CREATE INDEX";
    context_ = L"CREATE INDEX statement";
    CreateIndex ci;
    ci.unique = unique;
    ExpectKw(Keyword::Index);
    ci.name = ParseName();
    ExpectKw(Keyword::On);
    ci.table = ParseName();
    Expect(TokenKind::LParen);
    do {
        IndexColumn col;
        col.name = ParseName();
        if (AcceptKw(Keyword::Desc)) {
            col.descending = true;
        } else {
            AcceptKw(Keyword::Asc);
        }
        ci.columns.push_back(std::move(col));
    } while (Accept(TokenKind::Comma));
    Expect(TokenKind::RParen);
    if (AcceptKw(Keyword::With)) {
        if (AcceptKw(Keyword::Primary)) {
            ci.option = IndexOption::Primary;
        } else if (AcceptKw(Keyword::Disallow)) {
            ExpectKw(Keyword::Null);
            ci.option = IndexOption::DisallowNull;
        } else if (AcceptKw(Keyword::Ignore)) {
            ExpectKw(Keyword::Null);
            ci.option = IndexOption::IgnoreNull;
        } else {
            Fail();
        }
    }
    return ci;
}

CreateView Parser::ParseCreateView()
{
    statementName_ = L"CREATE VIEW";
    context_ = L"CREATE VIEW statement";
    CreateView v;
    ExpectKw(Keyword::View);
    v.name = ParseName();
    if (Is(TokenKind::LParen))
        v.columns = ParseNameList();
    ExpectKw(Keyword::As);
    if (!IsKw(Keyword::Select))
        Fail();
    v.select = ParseSelect();
    v.selectText =
        std::wstring(text_.substr(v.select->span.begin, v.select->span.end - v.select->span.begin));
    return v;
}

CreateProcedure Parser::ParseCreateProcedure()
{
    statementName_ = L"CREATE PROCEDURE";
    context_ = L"CREATE PROCEDURE statement";
    CreateProcedure p;
    ExpectKw(Keyword::Procedure);
    p.name = ParseName();
    if (Accept(TokenKind::LParen)) {
        if (!Is(TokenKind::RParen)) {
            context_ = L"PARAMETER clause";
            ParseParameterDecls(p.parameters, TokenKind::RParen);
            context_ = L"CREATE PROCEDURE statement";
        }
        Expect(TokenKind::RParen);
    }
    ExpectKw(Keyword::As);
    uint32_t begin = Peek().pos;
    const std::vector<ParameterDecl>* saved = declared_;
    declared_ = &p.parameters;
    auto body = std::make_unique<Statement>(ParseStatementBody(false));
    declared_ = saved;
    p.bodyText = std::wstring(text_.substr(begin, LastEnd() - begin));
    p.body = std::move(body);
    statementName_ = L"CREATE PROCEDURE";
    context_ = L"CREATE PROCEDURE statement";
    return p;
}

Statement Parser::ParseDrop()
{
    Statement st;
    st.pos = Peek().pos;
    ++i_;  // DROP
    statementName_ = L"DROP";
    context_ = L"DROP TABLE or DROP INDEX";
    if (AcceptKw(Keyword::Table)) {
        statementName_ = L"DROP TABLE";
        st.body = DropTable{ParseName()};
    } else if (AcceptKw(Keyword::Index)) {
        statementName_ = L"DROP INDEX";
        DropIndex d;
        d.name = ParseName();
        ExpectKw(Keyword::On);
        d.table = ParseName();
        st.body = std::move(d);
    } else if (AcceptKw(Keyword::View)) {
        statementName_ = L"DROP VIEW";
        context_ = L"DROP VIEW statement";
        st.body = DropView{ParseName()};
    } else if (AcceptKw(Keyword::Procedure)) {
        statementName_ = L"DROP PROCEDURE";
        context_ = L"DROP PROCEDURE statement";
        st.body = DropProcedure{ParseName()};
    } else {
        Fail();
    }
    return st;
}

AlterTable Parser::ParseAlter()
{
    statementName_ = L"ALTER TABLE";
    context_ = L"ALTER TABLE statement";
    AlterTable a;
    ++i_;  // ALTER
    ExpectKw(Keyword::Table);
    a.table = ParseName();
    if (AcceptKw(Keyword::Add)) {
        if (AcceptKw(Keyword::Column)) {
            a.action = AlterAction::AddColumn;
            a.column = ParseColumnDef();
        } else if (AtConstraintStart()) {
            a.action = AlterAction::AddConstraint;
            a.constraint = ParseTableConstraint();
        } else {
            a.action = AlterAction::AddColumn;
            a.column = ParseColumnDef();
        }
    } else if (AcceptKw(Keyword::Drop)) {
        if (AcceptKw(Keyword::Constraint)) {
            context_ = L"CONSTRAINT clause";
            a.action = AlterAction::DropConstraint;
        } else {
            AcceptKw(Keyword::Column);
            a.action = AlterAction::DropColumn;
        }
        a.name = ParseName();
    } else if (IsKw(Keyword::Alter)) {
        ++i_;
        AcceptKw(Keyword::Column);
        a.action = AlterAction::AlterColumn;
        a.column = ParseColumnDef();
    } else if (IsKw(Keyword::Allow) || IsKw(Keyword::Deny)) {
        a.action =
            IsKw(Keyword::Allow) ? AlterAction::AllowZeroLength : AlterAction::DenyZeroLength;
        ++i_;
        ExpectKw(Keyword::Zero);
        ExpectKw(Keyword::Length);
        a.name = ParseName();
    } else {
        Fail();
    }
    return a;
}

LinkTable Parser::ParseLink()
{
    statementName_ = L"LINK TABLE";
    context_ = L"LINK TABLE statement";
    LinkTable l;
    ++i_;  // LINK
    ExpectKw(Keyword::Table);
    l.localName = ParseName();
    ExpectKw(Keyword::To);
    l.remoteName = ParseName();
    if (AcceptKw(Keyword::Odbc)) {
        l.link = LinkKind::Odbc;
    } else if (AcceptKw(Keyword::Src)) {
        l.link = LinkKind::Access;
    } else {
        Fail();
    }
    if (!Is(TokenKind::String))
        Fail();
    l.source = TokenValue(text_, Next());
    return l;
}

// ---------------------------------------------------------------------------
// Expressions

// A token that could only continue an expression through an operator that is missing.
bool Parser::StartsOperand(const Token& t) const
{
    switch (t.kind) {
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::Date:
        case TokenKind::QuotedName:
        case TokenKind::Question:
        case TokenKind::LParen:
            return true;
        case TokenKind::Name:
            return t.keyword == Keyword::None;
        default:
            return false;
    }
}

bool Parser::StartsComparison() const
{
    switch (Peek().kind) {
        case TokenKind::Equal:
        case TokenKind::NotEqual:
        case TokenKind::Less:
        case TokenKind::LessEqual:
        case TokenKind::Greater:
        case TokenKind::GreaterEqual:
            return true;
        case TokenKind::Name:
            switch (Peek().keyword) {
                case Keyword::Like:
                case Keyword::Is:
                case Keyword::In:
                case Keyword::Between:
                    return true;
                default:
                    return false;
            }
        default:
            return false;
    }
}

ExprPtr Parser::ParseExpr()
{
    if (exprDepth_++ == 0)
        exprStart_ = Peek().pos;
    ExprPtr e = ParseEqv();
    if (--exprDepth_ == 0 && (StartsOperand(Peek()) || IsBroken(Peek()))) {
        ++exprDepth_;  // keep the expression's start for the message
        FailExpr(Peek(), !IsBroken(Peek()));
    }
    return e;
}

ExprPtr Parser::ParseEqv()
{
    ExprPtr l = ParseXor();
    while (AcceptKw(Keyword::Eqv))
        l = Binary(Op::Eqv, std::move(l), ParseXor());
    return l;
}

ExprPtr Parser::ParseXor()
{
    ExprPtr l = ParseOr();
    while (AcceptKw(Keyword::Xor))
        l = Binary(Op::Xor, std::move(l), ParseOr());
    return l;
}

ExprPtr Parser::ParseOr()
{
    ExprPtr l = ParseAnd();
    while (AcceptKw(Keyword::Or))
        l = Binary(Op::Or, std::move(l), ParseAnd());
    return l;
}

ExprPtr Parser::ParseAnd()
{
    ExprPtr l = ParseNot();
    while (AcceptKw(Keyword::And))
        l = Binary(Op::And, std::move(l), ParseNot());
    return l;
}

ExprPtr Parser::ParseNot()
{
    if (IsKw(Keyword::Not)) {
        Nest nest(*this);
        uint32_t pos = Next().pos;
        return Unary(Op::Not, pos, ParseNot());
    }
    return ParseComparison();
}

ExprPtr Parser::ParseComparison()
{
    ExprPtr l;
    if (ruleMode_ && StartsComparison()) {
        l = std::make_unique<Expr>(ExprKind::RuleSubject, Peek().pos);
    } else {
        l = ParseConcat();
    }
    OperatorRuns runs;
    while (true) {
        const Token& t = Peek();
        Op op = Op::None;
        switch (t.kind) {
            case TokenKind::Equal:
                op = Op::Equal;
                break;
            case TokenKind::NotEqual:
                op = Op::NotEqual;
                break;
            case TokenKind::Less:
                op = Op::Less;
                break;
            case TokenKind::LessEqual:
                op = Op::LessEqual;
                break;
            case TokenKind::Greater:
                op = Op::Greater;
                break;
            case TokenKind::GreaterEqual:
                op = Op::GreaterEqual;
                break;
            default:
                break;
        }
        if (op != Op::None) {
            ++i_;
            runs.Add(*this, op);
            l = Binary(op, std::move(l), ParseConcat());
            continue;
        }
        if (t.kind != TokenKind::Name)
            break;
        bool negated = false;
        Keyword kw = t.keyword;
        if (kw == Keyword::Not &&
            (IsKw(Keyword::Like, 1) || IsKw(Keyword::In, 1) || IsKw(Keyword::Between, 1))) {
            negated = true;
            kw = Peek(1).keyword;
            ++i_;
        }
        if (kw == Keyword::Like) {
            ++i_;
            auto e = std::make_unique<Expr>(ExprKind::Like, l->pos);
            e->negated = negated;
            e->args.push_back(std::move(l));
            e->args.push_back(ParseConcat());
            l = std::move(e);
        } else if (kw == Keyword::Is && !negated) {
            ++i_;
            auto e = std::make_unique<Expr>(ExprKind::IsNull, l->pos);
            e->negated = AcceptKw(Keyword::Not);
            if (!AcceptKw(Keyword::Null))
                FailExpr(Peek(), false);
            e->args.push_back(std::move(l));
            l = std::move(e);
        } else if (kw == Keyword::In) {
            ++i_;
            auto e = std::make_unique<Expr>(ExprKind::In, l->pos);
            e->negated = negated;
            e->args.push_back(std::move(l));
            if (!Accept(TokenKind::LParen))
                FailExpr(Peek(), false);
            if (IsKw(Keyword::Select)) {
                e->subquery = ParseSubquery();
            } else {
                do {
                    e->args.push_back(ParseEqv());
                } while (Accept(TokenKind::Comma));
                if (!Accept(TokenKind::RParen))
                    FailExpr(Peek(), false);
            }
            l = std::move(e);
        } else if (kw == Keyword::Between) {
            ++i_;
            auto e = std::make_unique<Expr>(ExprKind::Between, l->pos);
            e->negated = negated;
            e->args.push_back(std::move(l));
            e->args.push_back(ParseConcat());
            if (!AcceptKw(Keyword::And))
                FailExpr(Peek(), false);
            e->args.push_back(ParseConcat());
            l = std::move(e);
        } else {
            break;
        }
    }
    return l;
}

ExprPtr Parser::ParseConcat()
{
    ExprPtr l = ParseAdditive();
    while (Accept(TokenKind::Ampersand))
        l = Binary(Op::Concat, std::move(l), ParseAdditive());
    return l;
}

ExprPtr Parser::ParseAdditive()
{
    ExprPtr l = ParseMod();
    OperatorRuns runs;
    while (true) {
        if (Accept(TokenKind::Plus)) {
            runs.Add(*this, Op::Add);
            l = Binary(Op::Add, std::move(l), ParseMod());
        } else if (Accept(TokenKind::Minus)) {
            runs.Add(*this, Op::Subtract);
            l = Binary(Op::Subtract, std::move(l), ParseMod());
        } else {
            return l;
        }
    }
}

ExprPtr Parser::ParseMod()
{
    ExprPtr l = ParseIntDivide();
    while (AcceptKw(Keyword::Mod))
        l = Binary(Op::Mod, std::move(l), ParseIntDivide());
    return l;
}

ExprPtr Parser::ParseIntDivide()
{
    ExprPtr l = ParseMultiplicative();
    while (Accept(TokenKind::Backslash))
        l = Binary(Op::IntDivide, std::move(l), ParseMultiplicative());
    return l;
}

ExprPtr Parser::ParseMultiplicative()
{
    ExprPtr l = ParseUnary();
    OperatorRuns runs;
    while (true) {
        if (Accept(TokenKind::Star)) {
            runs.Add(*this, Op::Multiply);
            l = Binary(Op::Multiply, std::move(l), ParseUnary());
        } else if (Accept(TokenKind::Slash)) {
            runs.Add(*this, Op::Divide);
            l = Binary(Op::Divide, std::move(l), ParseUnary());
        } else {
            return l;
        }
    }
}

ExprPtr Parser::ParseUnary()
{
    if (Is(TokenKind::Minus)) {
        Nest nest(*this);
        uint32_t pos = Next().pos;
        return Unary(Op::Negate, pos, ParseUnary());
    }
    if (Accept(TokenKind::Plus)) {  // unary plus changes nothing
        Nest nest(*this);
        return ParseUnary();
    }
    return ParsePower();
}

ExprPtr Parser::ParsePower()
{
    ExprPtr l = ParsePrimary();
    while (Accept(TokenKind::Caret))
        l = Binary(Op::Power, std::move(l), ParsePowerOperand());
    return l;
}

// The exponent may carry its own sign: 2 ^ -1.
ExprPtr Parser::ParsePowerOperand()
{
    if (Is(TokenKind::Minus)) {
        Nest nest(*this);
        uint32_t pos = Next().pos;
        return Unary(Op::Negate, pos, ParsePowerOperand());
    }
    return ParsePrimary();
}

ExprPtr Parser::ParsePrimary()
{
    Nest nest(*this);
    const Token& t = Peek();
    switch (t.kind) {
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::Date:
            return ParseLiteral();
        case TokenKind::Question: {
            ++i_;
            auto e = std::make_unique<Expr>(ExprKind::Parameter, t.pos);
            e->parameterIndex = positional_++;
            return e;
        }
        case TokenKind::LParen: {
            ++i_;
            if (IsKw(Keyword::Select)) {
                auto e = std::make_unique<Expr>(ExprKind::Subquery, t.pos);
                e->subquery = ParseSubquery();
                return e;
            }
            ExprPtr e = ParseEqv();
            if (!Accept(TokenKind::RParen))
                FailExpr(Peek(), StartsOperand(Peek()));
            return e;
        }
        case TokenKind::QuotedName:
            return ParseNameExpr();
        case TokenKind::Name:
            break;
        default:
            FailExpr(t, false);
    }
    switch (t.keyword) {
        case Keyword::Null:
        case Keyword::True:
        case Keyword::False:
        case Keyword::Yes:
        case Keyword::No:
        case Keyword::On:
        case Keyword::Off:
            return ParseLiteral();
        case Keyword::Exists: {
            ++i_;
            auto e = std::make_unique<Expr>(ExprKind::Exists, t.pos);
            if (!Accept(TokenKind::LParen) || !IsKw(Keyword::Select))
                FailExpr(Peek(), false);
            e->subquery = ParseSubquery();
            return e;
        }
        default:
            break;
    }
    if (Is(TokenKind::LParen, 1) && (t.keyword == Keyword::None || t.keyword == Keyword::Left ||
                                     t.keyword == Keyword::Right || t.keyword == Keyword::Asc)) {
        // ASC before "(" is the character-code function, not the sort keyword.
        return ParseFunction();
    }
    if (IsReserved(t.keyword))
        FailExpr(t, false);
    return ParseNameExpr();
}

ExprPtr Parser::ParseNameExpr()
{
    const Token& t = Peek();
    auto e = std::make_unique<Expr>(ExprKind::Column, t.pos);
    e->name = ParseName();
    if (Accept(TokenKind::Dot)) {
        e->qualifier = std::move(e->name);
        const Token& n = Peek();
        if (n.kind == TokenKind::Name) {  // after the dot even a keyword is a name
            ++i_;
            e->name = std::wstring(Raw(n));
        } else {
            e->name = ParseName();
        }
        return e;
    }
    if (declared_ != nullptr) {
        for (const ParameterDecl& p : *declared_) {
            if (EqualsNoCase(p.name, e->name)) {
                e->kind = ExprKind::Parameter;
                break;
            }
        }
    }
    return e;
}

ExprPtr Parser::ParseFunction()
{
    const Token& t = Next();
    auto e = std::make_unique<Expr>(ExprKind::Function, t.pos);
    e->name = std::wstring(Raw(t));
    ++i_;  // (
    if (Accept(TokenKind::RParen))
        return e;
    if (Is(TokenKind::Star) && Is(TokenKind::RParen, 1)) {
        e->star = true;
        i_ += 2;
        return e;
    }
    do {
        e->args.push_back(ParseEqv());
    } while (Accept(TokenKind::Comma));
    if (!Accept(TokenKind::RParen))
        FailExpr(Peek(), StartsOperand(Peek()));
    return e;
}

std::unique_ptr<Select> Parser::ParseSubquery()
{
    // A subquery's clauses are their own expressions; the outer one resumes after.
    const int savedDepth = exprDepth_;
    const uint32_t savedStart = exprStart_;
    const wchar_t* savedContext = context_;
    exprDepth_ = 0;
    std::unique_ptr<Select> s = ParseSelect();
    exprDepth_ = savedDepth;
    exprStart_ = savedStart;
    context_ = savedContext;
    if (!Accept(TokenKind::RParen))
        Fail();
    return s;
}

// A value of a VALUES list. Nearly every one is a literal, or a negated number, that the ","
// or ")" after it ends: it is read as ParseExpr reads it, without the climb through every
// operator's level to it and back.
ExprPtr Parser::ParseValue()
{
    const size_t sign = Is(TokenKind::Minus) ? 1 : 0;
    const Token& t = Peek(sign);
    const bool literal =
        t.kind == TokenKind::Number ||
        (sign == 0 &&
         (t.kind == TokenKind::String || t.kind == TokenKind::Date ||
          (t.kind == TokenKind::Name &&
           (t.keyword == Keyword::Null || t.keyword == Keyword::True ||
            t.keyword == Keyword::False || t.keyword == Keyword::Yes || t.keyword == Keyword::No ||
            t.keyword == Keyword::On || t.keyword == Keyword::Off))));
    if (!literal || !(Is(TokenKind::Comma, sign + 1) || Is(TokenKind::RParen, sign + 1)))
        return ParseExpr();
    if (exprDepth_++ == 0)
        exprStart_ = Peek().pos;
    ExprPtr e;
    if (sign) {
        Nest nest(*this);
        uint32_t pos = Next().pos;
        Nest primary(*this);
        e = Unary(Op::Negate, pos, ParseLiteral());
    } else {
        Nest primary(*this);
        e = ParseLiteral();
    }
    --exprDepth_;
    return e;
}

ExprPtr Parser::ParseLiteral()
{
    const Token& t = Next();
    auto e = std::make_unique<Expr>(ExprKind::Literal, t.pos);
    switch (t.kind) {
        case TokenKind::Number:
            e->text = std::wstring(Raw(t));
            if (!NumberLiteralValue(e->text, e->value))
                FailExpr(t, false);
            break;
        case TokenKind::String:
            e->value = Variant(TokenValue(text_, t));
            break;
        case TokenKind::Date: {
            double date = 0;
            if (!DateLiteralValue(Raw(t).substr(1, t.len - 2), date))
                FailExpr(t, false);
            e->value = Variant::FromDate(date);
            break;
        }
        default:
            switch (t.keyword) {
                case Keyword::Null:
                    e->value = Variant::Null();
                    break;
                case Keyword::True:
                case Keyword::Yes:
                case Keyword::On:
                    e->value = Variant(true);
                    break;
                default:
                    e->value = Variant(false);
                    break;
            }
    }
    return e;
}

ExprPtr Parser::ParseWholeExpression(bool rule)
{
    ruleMode_ = rule;
    context_ = rule ? L"validation rule" : L"query expression";
    if (Is(TokenKind::End))
        FailExpr(Peek(), false);
    ExprPtr e = ParseExpr();
    if (!Is(TokenKind::End)) {
        exprDepth_ = 1;
        exprStart_ = 0;
        FailExpr(Peek(), StartsOperand(Peek()));
    }
    return e;
}

}  // namespace

Statement Parse(const std::wstring& sql)
{
    return Parser(sql).ParseWholeStatement();
}

ExprPtr ParseExpression(const std::wstring& text)
{
    return Parser(text).ParseWholeExpression(false);
}

ExprPtr ParseValidationRule(const std::wstring& text)
{
    return Parser(text).ParseWholeExpression(true);
}

}  // namespace provider::sql
