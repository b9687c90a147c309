// Rebuilds the Access SQL of a saved query from its definition rows in the
// file's query table (one row per clause element).
#pragma once

#include <string>
#include <vector>

#include "platform/provider/mdb/mdb_schema.h"

namespace provider::mdb {

// One definition row. `attribute` says what the row is: 1 the query kind
// (flag), 2 a parameter, 3 the select options, 5 a source table or union part,
// 6 an output column, 7 a join, 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY.
struct QueryRow {
    int attribute = 0;
    std::wstring name1;
    std::wstring name2;
    std::wstring expression;
    int flag = 0;
};

class QueryTextBuilder {
public:
    explicit QueryTextBuilder(std::vector<QueryRow> rows);

    QueryKind Kind() const { return kind_; }
    std::wstring Sql() const;
    std::vector<QueryParameter> Parameters() const;
    // Pass-through queries: the connect string ("ODBC;...").
    std::wstring Connect() const;

    // [name] unless the name is a plain identifier.
    static std::wstring QuoteName(const std::wstring& name);

private:
    std::vector<QueryRow> rows_;
    QueryKind kind_ = QueryKind::Unknown;
    int options_ = 0;
    std::wstring top_;
    const QueryRow* typeRow_ = nullptr;

    std::vector<const QueryRow*> Rows(int attribute) const;
    std::wstring ParametersClause() const;
    std::wstring SelectPrefix() const;  // DISTINCT / TOP ...
    std::wstring OutputColumns(bool withAliases, int onlyFlag = -1) const;
    std::wstring From() const;
    std::wstring Tail(bool groupBy) const;  // WHERE .. ORDER BY
    std::wstring UnionSql() const;
};

}  // namespace provider::mdb
