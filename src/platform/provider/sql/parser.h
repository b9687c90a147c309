// The Access SQL (Jet dialect) parser: text in, syntax tree out. A hand-written
// recursive-descent parser over the tokenizer; it reads and checks, it does not
// resolve names against a catalog and it emits nothing.
#pragma once

#include <string>

#include "platform/provider/sql/ast.h"
#include "platform/provider/sql/syntax_error.h"

namespace provider::sql {

// One statement, optionally preceded by "PARAMETERS p type, ...;" and followed by
// one ';'. Raises SyntaxError for anything else, naming the statement kind (or
// clause) and the position where parsing stopped.
Statement Parse(const std::wstring& sql);

// A lone expression, such as a stored default value or a CHECK condition.
ExprPtr ParseExpression(const std::wstring& text);

// A column validation rule as Access writes them: an expression whose leftmost
// operand may be left out, the column being meant ("> 0 And < 100", "Is Not Null",
// "Like 'A*'", "In ('a','b')", "Between 1 And 9"). The left-out operand becomes an
// ExprKind::RuleSubject node. A complete expression ("[Price] > 0") is read as is.
ExprPtr ParseValidationRule(const std::wstring& text);

}  // namespace provider::sql
