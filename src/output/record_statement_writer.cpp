#include "output/record_statement_writer.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>

#include <charconv>
#include <cwctype>

#include "compare/record_diff_item.h"
#include "output/text_utils.h"
#include "platform/automation/automation_date.h"
#include "platform/automation/wide_text.h"

using automation::Variant;

namespace {

std::wstring Bracketed(const std::wstring& name)
{
    return L"[" + name + L"]";
}

std::wstring Ascii(const char* begin, const char* end)
{
    return std::wstring(begin, end);
}

// The shortest text that reads back as the same binary value: the engine parses number
// literals exactly, so a float or double round-trips through it unchanged.
template <class T>
std::wstring ShortestNumber(T value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Ascii(buffer, result.ptr);
}

// Money is an integer count of ten-thousandths: written exactly, without trailing zeros.
std::wstring MoneyText(automation::Currency money)
{
    bool negative = money.int64 < 0;
    uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(money.int64) : static_cast<uint64_t>(money.int64);
    std::wstring text = std::to_wstring(magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction != 0) {
        wchar_t digits[5];
        for (int i = 3; i >= 0; --i) {
            digits[i] = static_cast<wchar_t>(L'0' + fraction % 10);
            fraction /= 10;
        }
        int length = 4;
        while (digits[length - 1] == L'0')
            --length;
        text += L'.';
        text.append(digits, length);
    }
    return negative ? L"-" + text : text;
}

std::wstring InvariantText(const Variant& value)
{
    return automation::ChangeTypeEx(value, automation::LOCALE_INVARIANT, 0, automation::VT_BSTR)
        .bstrVal();
}

// "#MM/DD/YYYY HH:MM:SS#" holds whole seconds only. A date that text would round (a fraction
// of a second, or a value that whole seconds do not meet exactly) is written as the automation
// number it is, through CDate: the number's shortest text reads back to the very same value.
std::wstring DateText(const Variant& value)
{
    std::wstring text = InvariantText(value);
    auto back = automation::DateFromText(text);
    if (back && *back == value.date())
        return L"#" + text + L"#";
    return L"CDate(" + ShortestNumber(value.date()) + L")";
}

}  // namespace

RecordStatementWriter::RecordStatementWriter(const std::wstring& table,
                                             std::vector<std::wstring> fields,
                                             std::vector<int> keyIndexes)
    : table_(Bracketed(table)), fields_(std::move(fields)), keyIndexes_(std::move(keyIndexes))
{
    isKey_.assign(fields_.size(), false);
    for (int index : keyIndexes_)
        if (index >= 0 && static_cast<size_t>(index) < isKey_.size())
            isKey_[index] = true;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (i)
            fieldList_ += L", ";
        fieldList_ += Bracketed(fields_[i]);
    }
}

RecordStatementWriter::~RecordStatementWriter() = default;

std::wstring RecordStatementWriter::Insert(const DbRecord& record) const
{
    std::wstring text = L"INSERT INTO " + table_ + L" (" + fieldList_ + L") VALUES (";
    const auto& values = record.Values();
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            text += L", ";
        text += Value(values[i]);
    }
    text += L");\r\n";
    return text;
}

std::wstring RecordStatementWriter::Update(const DbRecord* target, const DbRecord& source,
                                           const ModifiedDiffItem* item) const
{
    // The row to change is the target's: by its own key value where it was read.
    const std::wstring where = Where(target ? *target : source);
    std::wstring notes;
    std::wstring set;
    const auto& values = source.Values();
    for (size_t i = 0; i < values.size() && i < fields_.size(); ++i) {
        if (isKey_[i])
            continue;
        if (i < autoNumber_.size() && autoNumber_[i]) {
            if (item && item->Contains(static_cast<int>(i)))
                notes += L"-- The AutoNumber field " + Bracketed(fields_[i]) + L" of " + table_ +
                         L" differs (" + PlainText(values[i]) +
                         L" in the source); it cannot be changed and is left as it is:" +
                         where + L"\r\n";
            continue;
        }
        if (!set.empty())
            set += L", ";
        set += Bracketed(fields_[i]) + L"=" + Value(values[i]);
    }
    // Nothing left to set: the comment alone says what stays different.
    if (set.empty() && !notes.empty())
        return notes;
    return notes + L"UPDATE " + table_ + L" SET " + set + where + L";\r\n";
}

std::wstring RecordStatementWriter::SetFields(const DbRecord& record,
                                              const std::vector<int>& columns) const
{
    std::wstring text = L"UPDATE " + table_ + L" SET ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            text += L", ";
        text += Bracketed(fields_[columns[i]]) + L"=" + Value(record.ValueAt(columns[i]));
    }
    return text + Where(record) + L";\r\n";
}

std::wstring RecordStatementWriter::Delete(const DbRecord& record) const
{
    return L"DELETE FROM " + table_ + Where(record) + L";\r\n";
}

std::unique_ptr<std::wstring> RecordStatementWriter::Equal(const DbRecord&) const
{
    return nullptr;
}

std::wstring RecordStatementWriter::Where(const DbRecord& record) const
{
    std::wstring text = L" WHERE ";
    bool first = true;
    for (int index : keyIndexes_) {
        if (index < 0 || static_cast<size_t>(index) >= record.Values().size())
            continue;
        if (!first)
            text += L" AND ";
        first = false;
        text += KeyCondition(index, record.ValueAt(index));
    }
    return text;
}

// "=NULL" is never true in SQL, so a NULL key is matched with IS NULL. A binary key of any
// length is matched by its bytes as ChrB() codes joined by "&", which the engine joins into
// those very bytes: a literal of codes needs no parameter, which the executor only offers in
// value lists.
std::wstring RecordStatementWriter::KeyCondition(int index, const CellValue& value) const
{
    std::wstring name = Bracketed(fields_[index]);
    const Variant& v = value.Variant();
    if (v.IsNull() || v.IsEmpty())
        return name + L" IS NULL";
    if (value.IsArray()) {
        const auto& bytes = v.parray().bytes();
        if (bytes.empty())
            return name + L"=\"\"";
        std::wstring text = name + L"=";
        text.reserve(text.size() + bytes.size() * 12);
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i)
                text += L" & ";
            text += L"ChrB(" + std::to_wstring(static_cast<unsigned>(bytes[i])) + L")";
        }
        return text;
    }
    std::wstring plain = PlainText(value);
    if (!value.IsText())
        return name + L"=" + plain;
    // The script runner splits an UPDATE at the last blank-delimited WHERE; a key text holding
    // that word writes its blanks as chr() codes, so the condition cannot be cut inside the
    // literal. The engine evaluates both forms to the same text.
    std::wstring folded = plain;
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(std::towlower(c));
    if (folded.find(L"where") == std::wstring::npos)
        return name + L"=" + QuoteText(plain);
    return name + L"=" + QuoteCodes(plain, [](wchar_t c) {
               return static_cast<unsigned>(c) < 32 || std::iswspace(c);
           });
}

std::wstring RecordStatementWriter::Value(const CellValue& value)
{
    if (value.IsArray())
        return Base64Literal(value);
    std::wstring plain = PlainText(value);
    return value.IsText() ? QuoteText(plain) : plain;
}

std::wstring RecordStatementWriter::PlainText(const CellValue& value)
{
    const Variant& v = value.Variant();
    switch (v.vt()) {
        case automation::VT_EMPTY:
        case automation::VT_NULL:
            return L"NULL";
        case automation::VT_BSTR:
            return v.bstrVal();
        case automation::VT_DATE:
            return DateText(v);
        case automation::VT_R8:
            return ShortestNumber(v.dblVal());
        case automation::VT_R4:
            return ShortestNumber(v.fltVal());
        case automation::VT_CY:
            return MoneyText(v.cyVal());
        case automation::VT_BOOL:
            return v.boolVal() ? L"-1" : L"0";
        default:
            return InvariantText(v);
    }
}

std::wstring RecordStatementWriter::ReportText(const CellValue& value)
{
    const Variant& v = value.Variant();
    if (v.vt() == automation::VT_DATE) {
        std::wstring text = InvariantText(v);
        auto back = automation::DateFromText(text);
        if (!back || *back != v.date())
            text = automation::DateToInvariantTextWithMilliseconds(v.date());
        return L"#" + text + L"#";
    }
    return PlainText(value);
}

std::wstring RecordStatementWriter::Base64Literal(const CellValue& value)
{
    const auto& bytes = value.Variant().parray().bytes();
    std::string encoded;
    CryptoPP::StringSource source(
        bytes.data(), bytes.size(), true,
        new CryptoPP::Base64Encoder(new CryptoPP::StringSink(encoded), true, 72));
    std::wstring text = L"base64(\"";
    text.reserve(text.size() + encoded.size() + encoded.size() / 72 + 4);
    char previous = 0;
    for (char c : encoded) {
        if (c == '\n' && previous != '\r')
            text += L'\r';
        text += static_cast<wchar_t>(c);
        previous = c;
    }
    text += L"\")";
    return text;
}

std::wstring RecordStatementWriter::QuoteText(const std::wstring& original)
{
    return QuoteCodes(original, [](wchar_t c) { return static_cast<unsigned>(c) < 32; });
}

template <class AsCode>
std::wstring RecordStatementWriter::QuoteCodes(const std::wstring& original, AsCode asCode)
{
    if (original.empty())
        return L"\"\"";
    std::wstring text = original;
    ReplaceAll(text, L"\"", L"\"\"");
    std::wstring out;
    out.reserve(text.size() + 2);
    bool lastWasCode = false;
    const size_t last = text.size() - 1;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (asCode(c)) {
            if (i != 0 && !lastWasCode)
                out += L"\" & ";
            out += L"chr(" + std::to_wstring(static_cast<unsigned>(c)) + L")";
            if (i != last)
                out += L" & ";
            lastWasCode = true;
        } else {
            if (i == 0 || lastWasCode)
                out += L'"';
            out += c;
            lastWasCode = false;
        }
    }
    if (!lastWasCode)
        out += L'"';
    return out;
}
