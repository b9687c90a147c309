// Foreign keys, checks, validation rules and zero-length rules as triggers.
#include "platform/provider/constraint_triggers.h"

#include <sqlite3.h>

#include "platform/automation/com_error.h"
#include "platform/provider/query_emitter.h"
#include "platform/provider/sql/parser.h"
#include "platform/provider/sql/printer.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

namespace {

[[noreturn]] void Fail(const std::wstring& text)
{
    throw automation::ComError(automation::E_FAIL, text);
}

std::string TriggerName(const std::wstring& table, const std::wstring& name, const char* purpose,
                        const char* event)
{
    std::string suffix = std::string(".") + purpose + "." + event;
    return QuoteName(table + L"." + name + std::wstring(suffix.begin(), suffix.end()));
}

std::string Raise(const std::wstring& message)
{
    return "SELECT RAISE(ABORT, " + QuoteText(std::wstring_view(message)) + ");";
}

// "a = b AND c = d" over the key's member pairs.
std::string Match(const KeyInfo& key, const std::string& childSide, const std::string& parentSide)
{
    std::string sql;
    for (const KeyColumnInfo& c : key.columns)
        sql += (sql.empty() ? "" : " AND ") + childSide + QuoteName(c.name) + " = " + parentSide +
               QuoteName(c.related);
    return sql;
}

std::string AllPresent(const KeyInfo& key, const std::string& side, bool related)
{
    std::string sql;
    for (const KeyColumnInfo& c : key.columns)
        sql += (sql.empty() ? "" : " AND ") + side + QuoteName(related ? c.related : c.name) +
               " IS NOT NULL";
    return sql;
}

// The first field other than `column` that a rule names; empty when none.
std::wstring OtherField(const sql::Expr& e, const std::wstring& column)
{
    if (e.kind == sql::ExprKind::Column && Catalog::Fold(e.name) != Catalog::Fold(column))
        return e.name;
    for (const sql::ExprPtr& a : e.args)
        if (a)
            if (std::wstring other = OtherField(*a, column); !other.empty())
                return other;
    return {};
}

void ReplaceSubject(sql::Expr& e, const std::wstring& column)
{
    if (e.kind == sql::ExprKind::RuleSubject) {
        e.kind = sql::ExprKind::Column;
        e.name = column;
        return;
    }
    for (sql::ExprPtr& a : e.args)
        if (a)
            ReplaceSubject(*a, column);
}

bool Exists(sqlite3* db, const std::string& query)
{
    Statement probe(db, query + " LIMIT 1");
    return probe.Step();
}

}  // namespace

std::wstring RuleViolationText(const std::wstring& table, const ColumnInfo& column)
{
    if (!column.validationText.empty())
        return column.validationText;
    return L"One or more values are prohibited by the validation rule '" + column.validationRule +
           L"' set for '" + table + L"." + column.name +
           L"'. Enter a value that the expression for this field can accept.";
}

std::wstring CheckViolationText(const TableInfo& table, const KeyInfo& check)
{
    return L"One or more values are prohibited by the validation rule '" + check.name +
           L"' set for '" + table.name +
           L"'. Enter a value that the expression for this field can accept.";
}

void ConstraintTriggers::Drop(const std::wstring& table, const std::wstring& name,
                              const char* purpose)
{
    for (const char* event : {"insert", "update", "delete", "parent"})
        ExecSql(db_, "DROP TRIGGER IF EXISTS " + TriggerName(table, name, purpose, event));
}

void ConstraintTriggers::AddForeignKey(const TableInfo& child, const TableInfo& parentTable,
                                       const KeyInfo& key)
{
    const TableInfo* parent = &parentTable;
    std::string c = QuoteName(child.name), p = QuoteName(parent->name);
    std::string present = AllPresent(key, "NEW.", false);
    std::string parentRow = "SELECT 1 FROM " + p + " WHERE " + Match(key, "NEW.", "");
    if (Exists(db_, "SELECT 1 FROM " + c + " AS NEW WHERE " + present + " AND NOT EXISTS (" +
                        parentRow + ")"))
        Fail(L"Data in the table '" + child.name + L"' violates referential integrity rules.");
    std::wstring required =
        L"You cannot add or change a record because a related record is "
        L"required in table '" +
        parent->name + L"'.";
    std::string when = " WHEN " + present + " AND NOT EXISTS (" + parentRow + ") BEGIN " +
                       Raise(required) + " END";
    std::string of;
    for (const KeyColumnInfo& k : key.columns)
        of += (of.empty() ? "" : ", ") + QuoteName(k.name);
    // The parent's checks look children up by the key: an index of the
    // store's own (no Access index; Access names hold no '.').
    ExecSql(db_, "CREATE INDEX " + QuoteName(child.name + L"." + key.name + L".fk") + " ON " + c +
                     " (" + of + ")");
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(child.name, key.name, "fk", "insert") +
                     " AFTER INSERT ON " + c + when);
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(child.name, key.name, "fk", "update") +
                     " AFTER UPDATE OF " + of + " ON " + c + when);

    // The parent's side: deleting or re-keying a row that has children.
    std::string children = "SELECT 1 FROM " + c + " WHERE " + Match(key, "", "OLD.");
    std::wstring related = L"The record cannot be deleted or changed because table '" + child.name +
                           L"' includes related records.";
    std::string onDelete;
    switch (key.deleteRule) {
        case kRuleCascade:
            onDelete = " BEGIN DELETE FROM " + c + " WHERE " + Match(key, "", "OLD.") + "; END";
            break;
        case kRuleSetNull: {
            std::string set;
            for (const KeyColumnInfo& k : key.columns)
                set += (set.empty() ? "" : ", ") + QuoteName(k.name) + " = NULL";
            onDelete =
                " BEGIN UPDATE " + c + " SET " + set + " WHERE " + Match(key, "", "OLD.") + "; END";
            break;
        }
        default:
            onDelete = " WHEN EXISTS (" + children + ") BEGIN " + Raise(related) + " END";
    }
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(child.name, key.name, "fk", "delete") +
                     " BEFORE DELETE ON " + p + onDelete);

    std::string changed, parentOf;
    for (const KeyColumnInfo& k : key.columns) {
        changed += (changed.empty() ? "" : " OR ") + std::string("OLD.") + QuoteName(k.related) +
                   " IS NOT NEW." + QuoteName(k.related);
        parentOf += (parentOf.empty() ? "" : ", ") + QuoteName(k.related);
    }
    std::string onUpdate;
    if (key.updateRule == kRuleCascade || key.updateRule == kRuleSetNull) {
        std::string set;
        for (const KeyColumnInfo& k : key.columns)
            set += (set.empty() ? "" : ", ") + QuoteName(k.name) + " = " +
                   (key.updateRule == kRuleCascade ? "NEW." + QuoteName(k.related) : "NULL");
        onUpdate = " WHEN " + changed + " BEGIN UPDATE " + c + " SET " + set + " WHERE " +
                   Match(key, "", "OLD.") + "; END";
    } else {
        onUpdate = " WHEN (" + changed + ") AND EXISTS (" + children + ") BEGIN " + Raise(related) +
                   " END";
    }
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(child.name, key.name, "fk", "parent") +
                     " AFTER UPDATE OF " + parentOf + " ON " + p + onUpdate);
}

void ConstraintTriggers::DropForeignKey(const std::wstring& child, const std::wstring& key)
{
    Drop(child, key, "fk");
    ExecSql(db_, "DROP INDEX IF EXISTS " + QuoteName(child + L"." + key + L".fk"));
}

void ConstraintTriggers::AddCondition(const TableInfo& table, const std::wstring& name,
                                      const std::wstring& condition, const std::wstring& column,
                                      const std::wstring& message)
{
    std::wstring text = condition;
    if (!column.empty()) {
        sql::ExprPtr rule = sql::ParseValidationRule(condition);
        ReplaceSubject(*rule, column);
        if (std::wstring other = OtherField(*rule, column); !other.empty())
            Fail(L"The validation rule of field '" + table.name + L"." + column +
                 L"' cannot refer to the field '" + other +
                 L"'; a rule naming other fields belongs in a CHECK constraint.");
        text = sql::PrintExpression(*rule);
    }
    // The condition as a select item over the table gives the emitter's
    // lookup of one row by rowid: the condition's value for that row.
    sql::Statement st = sql::Parse(L"SELECT (" + text + L") FROM " + sql::QuoteName(table.name));
    QueryEmitter emitter(catalog_, L"CHECK");
    EmittedSelect select = emitter.EmitSelect(std::get<sql::Select>(st.body), true);
    const std::string marker = "?1";
    if (select.rowLookup.size() < marker.size() ||
        select.rowLookup.compare(select.rowLookup.size() - 2, 2, marker) != 0)
        Fail(L"The condition '" + condition + L"' cannot be kept for table '" + table.name + L"'.");
    std::string lookup = select.rowLookup.substr(0, select.rowLookup.size() - 2);
    // The lookup ends "alias.rowid = ": the rowid's name (another one when a
    // column is called rowid) serves the trigger's NEW row too.
    size_t dot = lookup.rfind('.');
    std::string rowid = lookup.substr(dot + 1, lookup.size() - 3 - (dot + 1));
    std::string t = QuoteName(table.name);
    // Access refuses a value only when the condition is False; Null passes.
    if (Exists(db_, "SELECT 1 FROM " + t + " AS \"crv.row\" WHERE (" + lookup + "\"crv.row\"." +
                        rowid + ") = 0"))
        Fail(L"Existing data in table '" + table.name + L"' violates the validation rule '" +
             condition + L"'.");
    const char* purpose = column.empty() ? "check" : "rule";
    std::string body =
        " WHEN (" + lookup + "NEW." + rowid + ") = 0 BEGIN " + Raise(message) + " END";
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(table.name, name, purpose, "insert") +
                     " AFTER INSERT ON " + t + body);
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(table.name, name, purpose, "update") +
                     " AFTER UPDATE " +
                     // A column's rule names only its column (Access allows no other).
                     (column.empty() ? std::string() : "OF " + QuoteName(column) + " ") + "ON " +
                     t + body);
}

void ConstraintTriggers::DropCondition(const std::wstring& table, const std::wstring& name)
{
    Drop(table, name, "check");
    Drop(table, name, "rule");
}

void ConstraintTriggers::DenyZeroLength(const TableInfo& table, const std::wstring& column)
{
    std::string t = QuoteName(table.name), c = QuoteName(column);
    if (Exists(db_, "SELECT 1 FROM " + t + " WHERE " + c + " = ''"))
        Fail(L"Field '" + table.name + L"." + column +
             L"' holds zero-length strings; they must be removed before they are denied.");
    std::string body =
        " WHEN NEW." + c + " = '' BEGIN " +
        Raise(L"Field '" + table.name + L"." + column + L"' cannot be a zero-length string.") +
        " END";
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(table.name, column, "zl", "insert") +
                     " AFTER INSERT ON " + t + body);
    ExecSql(db_, "CREATE TRIGGER " + TriggerName(table.name, column, "zl", "update") +
                     " AFTER UPDATE OF " + c + " ON " + t + body);
}

void ConstraintTriggers::AllowZeroLength(const std::wstring& table, const std::wstring& column)
{
    Drop(table, column, "zl");
}

}  // namespace provider
