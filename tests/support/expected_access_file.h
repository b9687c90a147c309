// What an independent reader of the Access format reads from the sample files
// (tests/data/expected/FILE.txt, see tests/data/README.md), and our values in
// its text form, so that tests compare the two line by line.
#pragma once

#include <QCryptographicHash>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/value_codec.h"
#include "support/temp_dir.h"

namespace testsupport {

struct ExpectedColumn {
    std::string name, type, flags;
    bool Complex() const { return type == "COMPLEX_TYPE"; }
    bool VersionHistory() const { return flags.find("VERSION_HISTORY") != std::string::npos; }
};

struct ExpectedIndex {
    std::string name, flags, columns;  // columns: "a,b DESC"
};

struct ExpectedTable {
    std::string name;
    std::vector<ExpectedColumn> columns;
    long rowCount = -1;             // as the table definition records it
    long rowsRead = -1;             // as found
    std::vector<std::string> rows;  // the values, TAB-separated
    std::vector<ExpectedIndex> indexes;
};

struct ExpectedFile {
    std::vector<ExpectedTable> tables;
    std::vector<std::vector<std::string>> complex;  // COMPLEX lines, split
    size_t queries = 0;
};

inline std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        out.push_back(field);
    if (!line.empty() && line.back() == '\t')
        out.emplace_back();
    return out;
}

inline ExpectedFile ReadExpected(const std::string& file)
{
    ExpectedFile out;
    std::ifstream in(TestDataDir() / "expected" / (file + ".txt"));
    std::string line;
    while (std::getline(in, line)) {
        const auto f = SplitTabs(line);
        if (f.empty())
            continue;
        const std::string& tag = f[0];
        if (tag == "TABLE") {
            out.tables.push_back({});
            out.tables.back().name = f.at(1);
        } else if (tag == "COL") {
            out.tables.back().columns.push_back({f.at(2), f.at(3), f.size() > 4 ? f[4] : ""});
        } else if (tag == "ROWCOUNT") {
            out.tables.back().rowCount = std::stol(f.at(1));
        } else if (tag == "ROWSREAD") {
            out.tables.back().rowsRead = std::stol(f.at(1));
        } else if (tag == "ROW") {
            out.tables.back().rows.push_back(line.substr(4));
        } else if (tag == "INDEX") {
            out.tables.back().indexes.push_back({f.at(1), f.at(2), f.at(3)});
        } else if (tag == "COMPLEX") {
            out.complex.push_back(f);
        } else if (tag == "QUERY") {
            ++out.queries;
        }
    }
    return out;
}

// The older sample files (without an expected/ file): rows per user table, in
// catalog order, as mdbtools' mdb-count gives them.
struct SampleTables {
    const char* file;
    std::vector<std::pair<std::wstring, long>> tables;
};

inline const std::vector<SampleTables>& OlderSampleFiles()
{
    static const std::vector<SampleTables> files = {
        {"nwind.mdb",
         {{L"Order Details", 2155},
          {L"Orders", 830},
          {L"Products", 77},
          {L"Shippers", 3},
          {L"Categories", 8},
          {L"Customers", 91},
          {L"Employees", 9},
          {L"Suppliers", 29},
          {L"Ums\u00e4tze", 830}}},
        {"indexTestV2003.mdb", {{L"Table1", 4}, {L"Table2", 3}, {L"Table3", 4}}},
        {"ASampleDatabase.accdb", {{L"Asset Items", 65}}},
        {"queryTestV2010.accdb", {{L"Table1", 0}, {L"Table2", 0}, {L"Table3", 0}}},
    };
    return files;
}

// The sample files with an expected/FILE.txt.
inline const std::vector<const char*>& ExpectedSampleFiles()
{
    static const std::vector<const char*> files = {
        "testV2010.accdb",          "delColTestV2003.mdb",    "queryTestV2003.mdb",
        "calcFieldTestV2010.accdb", "extDateTestV2019.accdb", "complexDataTestV2010.accdb",
        "testIndexCodesV1997.mdb",  "testIndexPropertiesV2003.mdb", "unsupportedFieldsTestV2007.accdb"};
    return files;
}

// Shortest digits that read back as the same value, in scientific form.
template <typename T>
std::string ShortestScientific(T value)
{
    char text[64];
    for (int digits = 0; digits < 20; ++digits) {
        std::snprintf(text, sizeof text, "%.*e", digits, static_cast<double>(value));
        const T back = sizeof(T) == sizeof(float) ? static_cast<T>(std::strtof(text, nullptr))
                                                  : static_cast<T>(std::strtod(text, nullptr));
        if (back == value)
            break;
    }
    return text;
}

// A value as the independent reader writes it: NULL "\N", booleans 1/0, money
// with 4 decimals, decimals exact, floats in shortest scientific form, dates
// "yyyy-mm-dd hh:mm:ss", text escaped, bytes "bin:LENGTH:sha1".
inline std::string ExpectedText(const automation::Variant& v)
{
    using namespace automation;
    if (v.IsNull() || v.IsEmpty())
        return "\\N";
    if (v.IsByteArray()) {
        const auto& b = v.parray().bytes();
        const QByteArray bytes(reinterpret_cast<const char*>(b.data()),
                               static_cast<qsizetype>(b.size()));
        return "bin:" + std::to_string(b.size()) + ":" +
               QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().toStdString();
    }
    switch (v.vt()) {
        case VT_BOOL:
            return v.boolVal() ? "1" : "0";
        case VT_UI1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
            return std::to_string(ChangeType(v, VT_I8).llVal());
        case VT_CY: {
            const int64_t c = v.cyVal().int64;
            const uint64_t a = c < 0 ? 0 - static_cast<uint64_t>(c) : static_cast<uint64_t>(c);
            char text[40];
            std::snprintf(text, sizeof text, "%s%llu.%04llu", c < 0 ? "-" : "",
                          static_cast<unsigned long long>(a / 10000),
                          static_cast<unsigned long long>(a % 10000));
            return text;
        }
        case VT_R4:
            return ShortestScientific(v.fltVal());
        case VT_R8:
            return ShortestScientific(v.dblVal());
        case VT_DATE: {
            const double ole = v.date();
            int64_t day = static_cast<int64_t>(std::trunc(ole));
            int64_t seconds = std::llround(std::fabs(ole - static_cast<double>(day)) * 86400);
            if (seconds == 86400) {
                day += ole < 0 ? -1 : 1;
                seconds = 0;
            }
            int64_t y = 0;
            unsigned m = 0, d = 0;
            provider::CivilFromDays(day, y, m, d);
            char text[40];
            std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                          static_cast<long long>(y), m, d, static_cast<long long>(seconds / 3600),
                          static_cast<long long>(seconds / 60 % 60),
                          static_cast<long long>(seconds % 60));
            return text;
        }
        case VT_DECIMAL: {
            const Decimal& d = v.decVal();
            unsigned __int128 m = (static_cast<unsigned __int128>(d.hi32) << 64) | d.lo64;
            std::string digits;
            do {
                digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
                m /= 10;
            } while (m != 0);
            if (digits.size() <= d.scale)
                digits.insert(0, d.scale - digits.size() + 1, '0');
            std::string text = digits;
            if (d.scale > 0) {
                text.insert(text.size() - d.scale, ".");
                while (text.back() == '0')
                    text.pop_back();
                if (text.back() == '.')
                    text.pop_back();
            }
            return (d.negative && text != "0" ? "-" : "") + text;
        }
        case VT_BSTR: {
            std::string out;
            for (wchar_t c : v.bstrVal()) {
                char hex[8];
                if (c == L'\t')
                    out += "\\t";
                else if (c == L'\n')
                    out += "\\n";
                else if (c == L'\r')
                    out += "\\r";
                else if (c == L'\\')
                    out += "\\\\";
                else if (c < 0x20 || c == 0x7F)
                    out +=
                        (std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c)), hex);
                else if (c >= 0x80 && c < 0xA0)
                    // The independent reader writes U+FFFD for the five bytes the
                    // Jet 3 code page leaves unassigned; we keep them as the C1
                    // code points Windows gives them.
                    out += "\xEF\xBF\xBD";
                else
                    out += ToUtf8(std::wstring(1, c));
            }
            return out;
        }
        default:
            return ToUtf8(ChangeType(v, VT_BSTR).bstrVal());
    }
}

}  // namespace testsupport
