// Canonical Access SQL text of a syntax tree: every name in brackets, keywords in
// upper case, strings in double quotes, dates as #MM/DD/YYYY HH:MM:SS#, and only the
// parentheses that precedence needs. Parsing the printed text gives the same tree;
// stored views and procedures keep this text.
#pragma once

#include <string>

#include "platform/provider/sql/ast.h"

namespace provider::sql {

std::wstring Print(const Statement& statement);
std::wstring PrintSelect(const Select& select);
std::wstring PrintExpression(const Expr& expr);
std::wstring PrintDataType(const DataType& type);
// The binary operator as Access SQL writes it ("^", "MOD", "<>", "AND", ...); "?" for others.
const wchar_t* OperatorText(Op op);

// "[name]".
std::wstring QuoteName(const std::wstring& name);

}  // namespace provider::sql
