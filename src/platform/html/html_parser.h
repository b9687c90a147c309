// Markup to element trees (through gumbo) and back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/html/element.h"

namespace html {

// A whole page; the result is its html element. Elements the HTML parsing
// rules imply inside tables (tbody, rows around stray cells) are left out, so
// a table's rows are its own children.
ElementPtr ParseDocument(std::string_view utf8);

// The nodes of a fragment parsed as the content of a `contextTag` element.
std::vector<ElementPtr> ParseFragment(std::string_view utf8, std::string_view contextTag);

// Appends the markup of a node. With `numbered`, every element also gets the
// attribute "_n" holding its position in `numbered` (where it is appended)
// and its runtime style merged into "style": that is the form handed to the
// layout engine, which finds our elements again by "_n".
void SerializeNode(const Element* node, std::string& out, std::vector<Element*>* numbered);

}  // namespace html
