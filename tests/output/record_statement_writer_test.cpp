// The statement forms and value encodings of the synchronisation script.
#include "output/record_statement_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "compare/db_record.h"
#include "platform/automation/variant.h"

namespace {

using automation::Variant;

DbRecord Record(std::vector<Variant> values)
{
    DbRecord record(1);
    for (auto& v : values)
        record.AddValue(CellValue(std::move(v)));
    return record;
}

std::wstring ValueText(Variant v)
{
    return RecordStatementWriter::Value(CellValue(std::move(v)));
}

Variant Bytes(std::string text)
{
    return Variant(automation::SafeArray(std::vector<uint8_t>(text.begin(), text.end())));
}

TEST(RecordStatementWriterTest, QuoteTextJoinsQuotedRunsAndChrCodes)
{
    struct Case {
        std::wstring text;
        std::wstring literal;
    } cases[] = {
        {L"", L"\"\""},
        {L"abc", L"\"abc\""},
        {L"a\"b", L"\"a\"\"b\""},
        {L"\"\"", L"\"\"\"\"\"\""},
        {L"a\r\nb", L"\"a\" & chr(13) & chr(10) & \"b\""},
        {L"\r\n", L"chr(13) & chr(10)"},
        {L"\nx", L"chr(10) & \"x\""},
        {L"x\n", L"\"x\" & chr(10)"},
        {L"\t", L"chr(9)"},
        {L"a\tb\"c", L"\"a\" & chr(9) & \"b\"\"c\""},
        {L"caf\u00e9 \u4e2d", L"\"caf\u00e9 \u4e2d\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordStatementWriter::QuoteText(c.text), c.literal);
}

TEST(RecordStatementWriterTest, ValuesAreWrittenInTheScriptsTextForms)
{
    automation::Currency money{12345678};
    automation::Currency negative{-5000};
    automation::Currency whole{10000};
    struct Case {
        Variant value;
        std::wstring text;
    } cases[] = {
        {Variant::Null(), L"NULL"},
        {Variant(int32_t(42)), L"42"},
        {Variant(int16_t(-7)), L"-7"},
        {Variant(uint8_t(255)), L"255"},
        {Variant(true), L"-1"},
        {Variant(false), L"0"},
        {Variant(money), L"1234.5678"},
        {Variant(negative), L"-0.5"},
        {Variant(whole), L"1"},
        {Variant(0.5), L"0.5"},
        {Variant(-2.25f), L"-2.25"},
        {Variant(L"it's"), L"\"it's\""},
        {Variant(L""), L"\"\""},
        // 5 March 2024 is day 45356; 14:07:09 is 50829 seconds into the day.
        {Variant::FromDate(45356.0 + 50829.0 / 86400.0), L"#03/05/2024 14:07:09#"},
        {Variant::FromDate(45356.0), L"#03/05/2024#"},
        {Variant::FromDate(50829.0 / 86400.0), L"#14:07:09#"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ValueText(c.value), c.text);
}

TEST(RecordStatementWriterTest, FloatingValuesReadBackAsTheSameNumber)
{
    for (double d : {0.1, 1.0 / 3.0, 1e300, -2.5e-300, 123456789.123456789, 4.9e-324}) {
        std::wstring text = ValueText(Variant(d));
        EXPECT_EQ(std::wcstod(text.c_str(), nullptr), d) << d;
    }
    for (float f : {0.1f, 1.0f / 3.0f, 3.4e38f, 1e-45f}) {
        std::wstring text = ValueText(Variant(f));
        EXPECT_EQ(static_cast<float>(std::wcstod(text.c_str(), nullptr)), f) << f;
    }
}

TEST(RecordStatementWriterTest, DecimalsAreWrittenExactly)
{
    Variant decimal =
        automation::ChangeType(Variant(L"-79228162514264.3375"), automation::VT_DECIMAL);
    EXPECT_EQ(ValueText(decimal), L"-79228162514264.3375");
}

TEST(RecordStatementWriterTest, BinaryValuesBecomeBase64LiteralsWithCrLfEvery72Characters)
{
    // "Man" is "TWFu" in base64 (RFC 4648); a lone zero byte is "AA==".
    EXPECT_EQ(ValueText(Bytes(std::string(1, '\0'))), L"base64(\"AA==\r\n\")");
    EXPECT_EQ(ValueText(Bytes("Man")), L"base64(\"TWFu\r\n\")");
    std::string sixty;
    std::wstring line1, line2;
    for (int i = 0; i < 20; ++i) {
        sixty += "Man";
        (i < 18 ? line1 : line2) += L"TWFu";
    }
    EXPECT_EQ(ValueText(Bytes(sixty)), L"base64(\"" + line1 + L"\r\n" + line2 + L"\r\n\")");
}

TEST(RecordStatementWriterTest, StatementsFollowTheirForms)
{
    RecordStatementWriter writer(L"Order Lines", {L"id", L"name", L"qty"}, {0});
    DbRecord record = Record({Variant(int32_t(7)), Variant(L"a\"b"), Variant::Null()});
    EXPECT_EQ(writer.Insert(record),
              L"INSERT INTO [Order Lines] ([id], [name], [qty]) VALUES (7, \"a\"\"b\", NULL);\r\n");
    EXPECT_EQ(writer.Update(nullptr, record, nullptr),
              L"UPDATE [Order Lines] SET [name]=\"a\"\"b\", [qty]=NULL WHERE [id]=7;\r\n");
    EXPECT_EQ(writer.Delete(record), L"DELETE FROM [Order Lines] WHERE [id]=7;\r\n");
    EXPECT_EQ(writer.Equal(record), nullptr);
}

TEST(RecordStatementWriterTest, WhereJoinsEveryKeyAndMatchesNullKeysWithIsNull)
{
    struct Case {
        std::vector<int> keys;
        std::vector<Variant> values;
        std::wstring where;
    } cases[] = {
        {{0, 2},
         {Variant(int32_t(1)), Variant(L"x"), Variant(L"k\n")},
         L" WHERE [a]=1 AND [c]=\"k\" & chr(10)"},
        {{1}, {Variant(int32_t(1)), Variant::Null(), Variant(L"")}, L" WHERE [b] IS NULL"},
        {{2}, {Variant(int32_t(1)), Variant::Null(), Variant(L"")}, L" WHERE [c]=\"\""},
        {{0}, {Variant::FromDate(45356.0), Variant(), Variant()}, L" WHERE [a]=#03/05/2024#"},
        // A key text holding the word WHERE writes its blanks as codes, so that the script
        // runner cannot cut the statement inside the literal.
        {{2},
         {Variant(), Variant(), Variant(L"k Where\nx")},
         L" WHERE [c]=\"k\" & chr(32) & \"Where\" & chr(10) & \"x\""},
        {{2}, {Variant(), Variant(), Variant(L"a b")}, L" WHERE [c]=\"a b\""},
        // A table without key fields: nothing follows " WHERE ".
        {{}, {Variant(int32_t(1)), Variant(), Variant()}, L" WHERE "},
        // A binary key is matched by its bytes, each one a ChrB() code.
        {{0},
         {Bytes("AB\x01\xFF"), Variant(), Variant()},
         L" WHERE [a]=ChrB(65) & ChrB(66) & ChrB(1) & ChrB(255)"},
    };
    for (const auto& c : cases) {
        RecordStatementWriter writer(L"T", {L"a", L"b", L"c"}, c.keys);
        EXPECT_EQ(writer.Where(Record(c.values)), c.where);
    }
    RecordStatementWriter writer(L"T", {L"a"}, {});
    EXPECT_EQ(writer.Delete(Record({Variant(int32_t(1))})), L"DELETE FROM [T] WHERE ;\r\n");
}

TEST(RecordStatementWriterTest, ABinaryKeyOfAnOddNumberOfBytesIsMatchedByEveryByte)
{
    RecordStatementWriter writer(L"T", {L"a"}, {0});
    EXPECT_EQ(writer.Delete(Record({Bytes("abc")})),
              L"DELETE FROM [T] WHERE [a]=ChrB(97) & ChrB(98) & ChrB(99);\r\n");
}

}  // namespace
