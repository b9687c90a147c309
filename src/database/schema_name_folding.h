// Case folding of table and field names, shared by every schema lookup so that
// a table and a field with the same name match in the same way.
#pragma once

#include <string>
#include <string_view>

// The folded form of one character: upper-cased, then lower-cased, with the
// wide-character case tables of C.UTF-8. Going through the upper case first makes
// letters with two lower-case forms meet (final and medial sigma, long s and s).
wchar_t FoldSchemaNameChar(wchar_t c);

// The key under which a name is looked up: every character folded.
std::wstring FoldSchemaName(std::wstring_view name);

// True when two names are equal once folded, character by character.
bool SchemaNamesEqual(std::wstring_view a, std::wstring_view b);
