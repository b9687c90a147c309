// Access SQL syntax trees to SQLite SQL. Names are resolved against the
// catalog; every expression is emitted knowing whether it yields a column's
// stored form (compared and sorted raw, so indexes serve ORDER BY) or a
// natural value, and values meet a column only through its Access type.
#pragma once

#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/provider/catalog.h"
#include "platform/provider/sql/ast.h"

namespace provider {

// What a piece of emitted SQL yields.
struct EmittedExpr {
    std::string sql;
    bool stored = false;  // the stored form of `type`
    bool typed = false;   // natural value whose Access type is known to be `type`
    ColumnType type;
    std::string exact;  // decimal literals: their digits, for exact storing
    bool parameterized = false;
    // Set when `sql` is a parenthesised chain of SQLite's own + and - (1) or * (2) of
    // `chainSize` characters: a further term of the same level joins the chain inside its
    // parentheses, so that a long chain does not nest one pair of parentheses per term. A
    // copy whose `sql` was wrapped since (sum(...), a negation) no longer has that size.
    int chainLevel = 0;
    size_t chainSize = 0;
};

struct ResultColumn {
    std::wstring name;
    bool stored = false;
    bool typed = false;
    ColumnType type;
};

struct EmittedSelect {
    std::string sql;
    std::vector<ResultColumn> columns;
    // Single-table selects: `sql` ends with a hidden rowid column and
    // `rowLookup` reads the visible columns of one row by rowid (?1), so a
    // cursor can revisit any row without keeping it.
    std::string rowLookup;
    // Single-table selects without a condition or a limit whose order is stored
    // columns, ascending: the select list with the rowid last, the FROM clause and
    // every ordering term (the rowid last), so that a reader can read any stretch of
    // the order by its bounds.
    std::string rangeItems;
    std::string rangeFrom;
    std::vector<std::string> orderTerms;
};

class QueryEmitter {
public:
    QueryEmitter(const Catalog& catalog, const wchar_t* statementKind);

    // Which literals are bound as parameters instead of written into the SQL.
    // Doubles always should be where the SQL is run at once: SQLite reads
    // number text without correct rounding, so a 17-digit double written as
    // text can come back as its neighbour. Binding every literal makes the
    // SQL of statements that differ only in their values the same text, so
    // it is prepared once. Never for SQL kept in the file (views, triggers).
    enum class LiteralBinding { Inline, Doubles, All };
    // Bound literals' natural values are appended to `values` (which holds
    // the statement's own parameters first); each takes its 1-based position
    // there as its parameter number.
    void BindLiterals(LiteralBinding mode, std::vector<automation::Variant>* values);
    // The values a literal, negated or not, binds in the All mode when it is
    // a whole value of an INSERT's VALUES list (a decimal binds its double
    // and then its exact digits), in the order EmitInsert binds them.
    static void InsertedLiteralValues(const sql::Expr& literal, bool negated,
                                      std::vector<automation::Variant>& values);

    EmittedSelect EmitSelect(const sql::Select& select, bool forCursor);

    // Data statements; each returns the SQL to run.
    std::string EmitInsert(const sql::Insert& insert, const TableInfo*& table, bool& counterGiven);
    std::string EmitUpdate(const sql::Update& update);
    std::string EmitDelete(const sql::Delete& del);

    // A stored default's value for `column`, as SQL that stores it.
    std::string EmitDefault(const ColumnInfo& column);
    // `value` as stored into `column` of `table`, refused when Null if that column is the rowid
    // key.
    static std::string KeyRequired(const TableInfo& table, int column, const std::string& value);

    // Raises the provider's error for a statement of this kind.
    [[noreturn]] void Fail(const std::wstring& text) const;

    struct Source;
    struct Scope;

private:
    EmittedExpr Expr(const sql::Expr& e, const Scope& scope);
    EmittedExpr ColumnRef(const sql::Expr& e, const Scope& scope);
    EmittedExpr Literal(const sql::Expr& e);
    EmittedExpr Binary(const sql::Expr& e, const Scope& scope);
    EmittedExpr Combine(sql::Op op, const EmittedExpr& l, const EmittedExpr& r) const;
    EmittedExpr CombineBalanced(sql::Op op, const std::vector<EmittedExpr>& operands, size_t begin,
                                size_t end) const;
    EmittedExpr Function(const sql::Expr& e, const Scope& scope);
    static bool IsDate(const EmittedExpr& e);
    std::string Natural(const EmittedExpr& e) const;
    std::string Comparable(const EmittedExpr& value, const EmittedExpr& against) const;
    std::string StoreInto(const EmittedExpr& value, const ColumnInfo& column) const;
    std::string FromClause(const std::vector<sql::TableRefPtr>& from, Scope& scope);
    std::string TableRef(const sql::TableRef& ref, Scope& scope);
    // One SELECT block. With `rowid` set, the block's single table's rowid
    // follows the visible items as a hidden last column and is returned there.
    std::string Core(const sql::SelectCore& core, Scope& scope, std::vector<ResultColumn>& cols,
                     std::vector<std::string>* itemSql, std::string* rowid = nullptr);
    const TableInfo& RequireTable(const std::wstring& name) const;

    // The SQL of a literal value: a parameter in the binding modes, else the
    // text `inlineSql()` makes.
    template <class Text>
    std::string LiteralSql(Text&& inlineSql, automation::Variant value, bool isDouble) const;

    const Catalog& catalog_;
    const wchar_t* kind_;
    LiteralBinding binding_ = LiteralBinding::Inline;
    std::vector<automation::Variant>* bound_ = nullptr;
    int exprCounter_ = 1000;
    int viewDepth_ = 0;  // views read inside views
};

}  // namespace provider
