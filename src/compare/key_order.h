// Which key fields can pair rows across the two databases. The merge walks both sides in the
// order each provider gives and trusts that it is the order of the comparison's value rule; two
// columns of one family (numbers of any type, texts of any size, dates, yes/no, binary) are read
// in that order on both sides, but a number against a text compares as text, and the two sides
// then arrive in orders the merge cannot follow.
#pragma once

#include <string>

class DataType;
class SchemaField;

enum class KeyFamily { Number, Text, Date, YesNo, Binary, Other, Unknown };

// The family of a column type; Unknown for a missing or unknown descriptor.
KeyFamily KeyFamilyOf(const DataType* type);

// True when rows can be paired by the two fields as one key field: both of one family, or of
// one type where the family is Other, or a type that is not known on either side.
bool KeyFieldsOrderAlike(const SchemaField& first, const SchemaField& second);
