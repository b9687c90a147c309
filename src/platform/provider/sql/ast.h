// The syntax tree of Access SQL (the Jet dialect) as the front end hands it to the
// engine: one Statement per parsed text. The tree says what was written, with typed
// literal values and the source offset of every node; it knows nothing about SQLite.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/automation/variant.h"

namespace provider::sql {

struct Expr;
struct Select;
struct Statement;
using ExprPtr = std::unique_ptr<Expr>;

// Offsets count wchar_t units from the start of the parsed text (0-based).
struct SourceSpan {
    uint32_t begin = 0;
    uint32_t end = 0;  // one past the last character
    friend bool operator==(const SourceSpan&, const SourceSpan&) = default;
};

// ---------------------------------------------------------------------------
// Expressions

enum class ExprKind : uint8_t {
    Literal,      // value: VT_BSTR, VT_DATE, VT_I4, VT_DECIMAL, VT_R8, VT_BOOL or VT_NULL
    Column,       // [qualifier.]name
    Star,         // * or qualifier.* (select lists, DELETE t.*)
    Parameter,    // ? (parameterIndex >= 0) or a name declared by PARAMETERS (name set)
    Unary,        // op (Negate, Not) args[0]
    Binary,       // args[0] op args[1] [op args[2] ...], combined left to right
    Like,         // args[0] [NOT] LIKE args[1]; the pattern keeps Access wildcards as written
    IsNull,       // args[0] IS [NOT] NULL
    In,           // args[0] [NOT] IN (args[1..]) or IN (subquery)
    Between,      // args[0] [NOT] BETWEEN args[1] AND args[2]
    Exists,       // EXISTS (subquery)
    Subquery,     // (subquery) used as a value
    Function,     // name(args); star for count(*)
    RuleSubject,  // the field a validation rule tests, left out as in "> 0"
};

enum class Op : uint8_t {
    None,
    // unary
    Negate,
    Not,
    // binary, from the tightest binding to the loosest
    Power,
    Multiply,
    Divide,
    IntDivide,  // the backslash operator
    Mod,
    Add,
    Subtract,
    Concat,  // &
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    And,
    Or,
    Xor,
    Eqv,
};

// A Binary node holds every operand of a run of one operator: "a - b - c" is one
// Subtract node with three operands meaning (a - b) - c. An operand in parentheses
// that is itself such a run on the right ("a - (b - c)") stays a node of its own.
struct Expr {
    Expr();
    explicit Expr(ExprKind k, uint32_t p = 0);
    ~Expr();
    Expr(const Expr&) = delete;
    Expr& operator=(const Expr&) = delete;

    ExprKind kind = ExprKind::Literal;
    Op op = Op::None;
    bool negated = false;         // NOT LIKE, NOT IN, NOT BETWEEN, IS NOT NULL
    bool star = false;            // count(*)
    int32_t parameterIndex = -1;  // 0-based order of a ? among the statement's ? marks
    uint32_t pos = 0;             // offset of the node's first character

    // Literal: the typed value. Numbers: VT_I4 when the literal is an integer within
    // the Long range, VT_DECIMAL for other plain decimals that fit an automation
    // decimal (exact, so money and decimal columns receive what was written), VT_R8
    // for exponent forms and longer numbers. Dates: VT_DATE (automation date). TRUE/YES/ON:
    // VT_BOOL true (-1); FALSE/NO/OFF: VT_BOOL false.
    automation::Variant value;
    std::wstring text;  // numeric literals: the digits as written

    std::wstring qualifier;  // Column, Star: the table or alias before the dot
    std::wstring name;       // Column, Function and named Parameter names, unquoted
    std::vector<ExprPtr> args;
    std::unique_ptr<Select> subquery;  // In, Exists, Subquery
};

// ---------------------------------------------------------------------------
// Queries

enum class JoinKind : uint8_t { Inner, Left, Right };
enum class TableRefKind : uint8_t { Table, Join, Subquery };

struct TableRef {
    TableRef();
    ~TableRef();
    TableRefKind kind = TableRefKind::Table;
    uint32_t pos = 0;
    std::wstring name;   // Table
    std::wstring alias;  // Table, Subquery (empty when none)
    JoinKind join = JoinKind::Inner;
    std::unique_ptr<TableRef> left, right;  // Join
    ExprPtr on;                             // Join
    std::unique_ptr<Select> subquery;       // Subquery
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectItem {
    ExprPtr expr;  // ExprKind::Star for * and t.*
    std::wstring alias;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

// One SELECT ... FROM ... WHERE ... GROUP BY ... HAVING block.
struct SelectCore {
    uint32_t pos = 0;
    bool distinct = false;
    bool distinctRow = false;
    std::optional<int64_t> top;  // TOP n
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::vector<TableRefPtr> from;  // comma-separated tables (a cross product)
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
};

struct UnionPart {
    bool all = false;
    SelectCore core;
};

struct Select {
    SelectCore core;
    std::vector<UnionPart> unions;   // UNION [ALL] blocks after the first
    std::vector<OrderItem> orderBy;  // applies to the whole union
    SourceSpan span;                 // the select's own text, ORDER BY included
};

// ---------------------------------------------------------------------------
// Data definition

// Access type families; synonyms (VARCHAR, INTEGER, BIT, ...) fold into them.
enum class AccessType : uint8_t {
    Text,        // TEXT, VARCHAR, CHAR, CHARACTER, STRING, ALPHANUMERIC, NCHAR, NVARCHAR
    Memo,        // MEMO, LONGTEXT, LONGCHAR, NOTE, NTEXT
    Byte,        // BYTE, TINYINT, INTEGER1
    Short,       // SHORT, SMALLINT, INTEGER2
    Long,        // LONG, INT, INTEGER, INTEGER4
    Single,      // SINGLE, REAL, FLOAT4, IEEESINGLE
    Double,      // DOUBLE, FLOAT, FLOAT8, IEEEDOUBLE, NUMBER
    Currency,    // CURRENCY, MONEY
    DateTime,    // DATETIME, DATE, TIME, TIMESTAMP
    YesNo,       // YESNO, BIT, LOGICAL, LOGICAL1, BOOLEAN
    Counter,     // COUNTER, AUTOINCREMENT, IDENTITY [(seed, increment)]
    Decimal,     // DECIMAL, NUMERIC, DEC [(precision[, scale])]
    Guid,        // GUID, UNIQUEIDENTIFIER
    Binary,      // BINARY, VARBINARY [(n)]
    LongBinary,  // LONGBINARY, OLEOBJECT, IMAGE, GENERAL
};

struct DataType {
    AccessType type = AccessType::Text;
    std::wstring written;              // the type name as written, upper case (e.g. VARCHAR)
    std::optional<int32_t> size;       // TEXT(n), BINARY(n); empty when not written
    std::optional<int32_t> precision;  // DECIMAL(p[, s])
    std::optional<int32_t> scale;
    std::optional<int32_t> seed;  // COUNTER(seed, increment)
    std::optional<int32_t> increment;
    uint32_t pos = 0;
};

enum class ConstraintKind : uint8_t { PrimaryKey, Unique, NotNull, ForeignKey, Check };
enum class RefAction : uint8_t { NoAction, Cascade, SetNull };

// A CONSTRAINT clause. Inside a column definition the columns list is empty and
// the clause applies to that column.
struct Constraint {
    Constraint();
    ~Constraint();
    Constraint(Constraint&&) noexcept;
    Constraint& operator=(Constraint&&) noexcept;

    ConstraintKind kind = ConstraintKind::PrimaryKey;
    std::wstring name;  // empty for an unnamed clause
    std::vector<std::wstring> columns;
    std::wstring refTable;                 // ForeignKey
    std::vector<std::wstring> refColumns;  // ForeignKey; empty: the referenced key
    RefAction onUpdate = RefAction::NoAction;
    RefAction onDelete = RefAction::NoAction;
    bool noIndex = false;    // FOREIGN KEY NO INDEX
    ExprPtr check;           // Check
    std::wstring checkText;  // Check: the condition's text as written
    uint32_t pos = 0;
};

struct ColumnDef {
    std::wstring name;
    DataType type;
    bool notNull = false;      // NOT NULL, or a CONSTRAINT ... NOT NULL clause
    bool compressed = false;   // WITH COMPRESSION / WITH COMP
    ExprPtr defaultValue;      // DEFAULT expr
    std::wstring defaultText;  // the default as written
    std::vector<Constraint> constraints;
    uint32_t pos = 0;
};

enum class IndexOption : uint8_t { None, Primary, DisallowNull, IgnoreNull };

struct IndexColumn {
    std::wstring name;
    bool descending = false;
};

struct ParameterDecl {
    std::wstring name;
    DataType type;
    uint32_t pos = 0;
};

// ---------------------------------------------------------------------------
// Statements

struct Insert {
    std::wstring table;
    std::vector<std::wstring> columns;  // empty: every column in table order
    std::vector<ExprPtr> values;        // VALUES (...)
    std::unique_ptr<Select> select;     // or INSERT INTO ... SELECT
};

struct Assignment {
    std::wstring qualifier;
    std::wstring column;
    ExprPtr value;
    uint32_t pos = 0;
};

struct Update {
    TableRefPtr table;  // a table, or joined tables
    std::vector<Assignment> assignments;
    ExprPtr where;
};

struct Delete {
    std::wstring table;
    std::wstring alias;
    ExprPtr where;
};

struct CreateTable {
    std::wstring name;
    std::vector<ColumnDef> columns;
    std::vector<Constraint> constraints;  // table-level clauses
};

struct DropTable {
    std::wstring name;
};

struct CreateIndex {
    bool unique = false;
    std::wstring name;
    std::wstring table;
    std::vector<IndexColumn> columns;
    IndexOption option = IndexOption::None;
};

struct DropIndex {
    std::wstring name;
    std::wstring table;
};

enum class AlterAction : uint8_t {
    AddColumn,
    AlterColumn,
    DropColumn,
    AddConstraint,
    DropConstraint,
    AllowZeroLength,  // ALTER TABLE t ALLOW ZERO LENGTH column
    DenyZeroLength,   // ALTER TABLE t DENY ZERO LENGTH column
};

struct AlterTable {
    std::wstring table;
    AlterAction action = AlterAction::AddColumn;
    ColumnDef column;       // AddColumn, AlterColumn
    std::wstring name;      // DropColumn, DropConstraint, Allow/DenyZeroLength
    Constraint constraint;  // AddConstraint
};

struct CreateView {
    std::wstring name;
    std::vector<std::wstring> columns;
    std::unique_ptr<Select> select;
    std::wstring selectText;  // the select exactly as written
};

struct DropView {
    std::wstring name;
};

struct CreateProcedure {
    std::wstring name;
    std::vector<ParameterDecl> parameters;  // (params) after the name
    std::unique_ptr<Statement> body;
    std::wstring bodyText;  // the statement after AS exactly as written
};

struct DropProcedure {
    std::wstring name;
};

enum class LinkKind : uint8_t { Odbc, Access };

// LINK TABLE [local] TO [remote] ODBC|SRC "source"
struct LinkTable {
    std::wstring localName;
    std::wstring remoteName;
    LinkKind link = LinkKind::Access;
    std::wstring source;
};

// The order of the alternatives is StatementKind's order.
using StatementBody =
    std::variant<Select, Insert, Update, Delete, CreateTable, DropTable, CreateIndex, DropIndex,
                 AlterTable, CreateView, DropView, CreateProcedure, DropProcedure, LinkTable>;

enum class StatementKind : uint8_t {
    Select,
    Insert,
    Update,
    Delete,
    CreateTable,
    DropTable,
    CreateIndex,
    DropIndex,
    AlterTable,
    CreateView,
    DropView,
    CreateProcedure,
    DropProcedure,
    LinkTable,
};

struct Statement {
    Statement();
    ~Statement();
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;

    StatementKind kind() const { return static_cast<StatementKind>(body.index()); }

    StatementBody body;
    std::vector<ParameterDecl> parameters;  // the PARAMETERS ...; prefix
    int32_t positionalParameters = 0;       // number of ? marks
    uint32_t pos = 0;                       // offset of the statement's first keyword
};

// The statement kind as Access names it in messages, e.g. "INSERT INTO".
const wchar_t* StatementKindName(StatementKind kind);

// True for the SQL aggregate functions (Count, Sum, Avg, Min, Max, First, Last,
// StDev, StDevP, Var, VarP), whatever the case.
bool IsAggregateFunction(const std::wstring& name);

}  // namespace provider::sql
