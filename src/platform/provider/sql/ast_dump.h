// A compact, position-free outline of a syntax tree as nested lists, e.g.
// "(+ [a] (* [b] i:2))". Two trees with the same outline are the same tree up to
// source offsets; used to compare trees and to show them in diagnostics.
#pragma once

#include <string>

#include "platform/provider/sql/ast.h"

namespace provider::sql {

std::wstring Dump(const Statement& statement);
std::wstring DumpExpression(const Expr& expr);

}  // namespace provider::sql
