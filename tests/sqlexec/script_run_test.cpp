// Whole scripts as the programs run them: loaded from files in each encoding, and a
// synchronisation script holding every value encoding, read back exactly.
#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <gtest/gtest.h>

#include "executor_fixture.h"
#include "platform/provider/value_codec.h"
#include "sqlexec/script_helper.h"
#include "sqlexec/text_file_writer.h"

namespace sqlexectest {
namespace {

using automation::Currency;
using automation::Decimal;
using automation::SafeArray;
using automation::Variant;

const std::wstring kSuccess = L"Command(s) completed successfully.";

double OleDate(int y, unsigned m, unsigned d, int hour = 0, int minute = 0, int second = 0)
{
    const double days = static_cast<double>(provider::DaysFromCivil(y, m, d)) +
                        (hour * 3600 + minute * 60 + second) / 86400.0;
    return provider::OleDateFromMonotonic(days);
}

TEST_F(ExecutorTest, ScriptsRunIdenticallyInEveryEncoding)
{
    // Only characters that the ANSI code page holds, so that all three files carry the same text.
    const std::wstring script =
        L"-- Gr\x00F6\x00DF"
        L"e\r\n"
        L"CREATE TABLE [B\x00FC"
        L"cher] ([Gr\x00F6\x00DF"
        L"e] TEXT(20), [Pr\x00E9is] CURRENCY);\r\n"
        L"INSERT INTO [B\x00FC"
        L"cher] ([Gr\x00F6\x00DF"
        L"e], [Pr\x00E9is]) VALUES "
        L"(\"caf\x00E9 \x20AC\" & chr(9) & \"\x00C5\", 1.5);\r\n"
        L"UPDATE [B\x00FC"
        L"cher] SET [Pr\x00E9is]=2.25 WHERE [Gr\x00F6\x00DF"
        L"e] LIKE "
        L"\"caf\x00E9*\";\r\n";
    const std::vector<Row> expected = {
        {Variant(L"caf\x00E9 \x20AC\t\x00C5"), Variant(Currency{22500})}};
    for (int encoding : {TextFileWriter::kAnsi, TextFileWriter::kUtf8, TextFileWriter::kUtf16}) {
        SCOPED_TRACE(encoding);
        const std::wstring file = automation::FromUtf8((dir / "script.sql").string());
        TextFileWriter writer(file, encoding);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write(script));
        ASSERT_TRUE(writer.Close());
        SQLExecutor::ScriptHelper document;
        ASSERT_TRUE(document.Load(file));
        EXPECT_EQ(document.GetText(), script);
        Run(L"DROP TABLE [B\x00FC"
            L"cher]");
        EXPECT_EQ(Run(document.GetText()), kSuccess);
        EXPECT_EQ(Rows(L"SELECT * FROM [B\x00FC"
                       L"cher]"),
                  expected);
    }
}

// Base64 text as the script writer lays it out: Crypto++'s encoder with a line break after every
// 72 characters and after the last line, each line break written as CR LF.
std::wstring Base64Lines(const std::vector<std::uint8_t>& bytes)
{
    std::string encoded;
    CryptoPP::Base64Encoder encoder(new CryptoPP::StringSink(encoded));
    encoder.IsolatedInitialize(CryptoPP::MakeParameters(CryptoPP::Name::InsertLineBreaks(), true)(
        CryptoPP::Name::MaxLineLength(), 72));
    encoder.Put(bytes.data(), bytes.size());
    encoder.MessageEnd();
    std::wstring lines;
    for (char c : encoded) {
        if (c == '\n')
            lines += L'\r';
        lines += wchar_t(c);
    }
    return lines;
}

TEST_F(ExecutorTest, SynchronisationScriptOfEveryValueEncodingReadsBackExactly)
{
    std::vector<std::uint8_t> blob(200);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<std::uint8_t>(i * 37 + 11);
    Decimal decimal;
    ASSERT_TRUE(provider::ParseDecimal("-12345.6789", 4, decimal));
    Decimal fraction;
    ASSERT_TRUE(provider::ParseDecimal("0.1234567890123456789012345678", 28, fraction));
    // A decimal column gives its values at the column's scale, zero included.
    Decimal zero4, zero28;
    ASSERT_TRUE(provider::ParseDecimal("0", 4, zero4));
    ASSERT_TRUE(provider::ParseDecimal("0", 28, zero28));
    const std::wstring fields =
        L"([id], [txt], [memo], [when], [day], [money], [dec], [frac], [flag], [g], [bin], "
        L"[small], [real])";
    // The statement forms and value texts of a synchronisation script, as its writer makes them.
    const std::wstring script =
        L"-- Corvina 2.1\r\n\r\n"
        L"CREATE TABLE [Sync] ([id] LONG PRIMARY KEY, [txt] TEXT(50), [memo] MEMO, "
        L"[when] DATETIME, [day] DATETIME, [money] CURRENCY, [dec] DECIMAL(18, 4), "
        L"[frac] DECIMAL(28, 28), [flag] YESNO, [g] GUID, [bin] LONGBINARY, [small] SHORT, "
        L"[real] DOUBLE);\r\n"
        L"INSERT INTO [Sync] " +
        fields +
        L" VALUES (1, \"say \"\"hi\"\"\", "
        L"\"a\" & chr(13) & chr(10) & \"b\", #03/05/2024 14:07:09#, #12/31/1899#, "
        L"-922337203685477.5808, -12345.6789, 0.1234567890123456789012345678, -1, "
        L"\"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\", base64(\"" +
        Base64Lines(blob) +
        L"\"), -32768, 2.5E-300);\r\n"
        L"INSERT INTO [Sync] " +
        fields +
        L" VALUES (2, NULL, chr(13) & chr(10), NULL, NULL, "
        L"NULL, NULL, NULL, 0, NULL, base64(\"" +
        Base64Lines({7}) +
        L"\"), NULL, NULL);\r\n"
        L"INSERT INTO [Sync] " +
        fields +
        L" VALUES (3, \"\", chr(9) & \"tab\", NULL, NULL, "
        L"0.0001, 0, 0, 0, NULL, NULL, 0, -1.5);\r\n"
        L"UPDATE [Sync] SET [txt]=\"x\" & chr(10), [money]=922337203685477.5807, "
        L"[flag]=-1 WHERE [id]=3;\r\n"
        L"DELETE FROM [Sync] WHERE [id]=2;\r\n";
    ASSERT_EQ(Run(script), kSuccess);
    const std::vector<Row> expected = {
        {Variant(int32_t{1}), Variant(L"say \"hi\""), Variant(L"a\r\nb"),
         Variant::FromDate(OleDate(2024, 3, 5, 14, 7, 9)), Variant::FromDate(1.0),
         Variant(Currency{INT64_MIN}), Variant(decimal), Variant(fraction), Variant(true),
         Variant(L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), Variant(SafeArray(blob)),
         Variant(int16_t{-32768}), Variant(2.5E-300)},
        {Variant(int32_t{3}), Variant(L"x\n"), Variant(L"\ttab"), Variant::Null(), Variant::Null(),
         Variant(Currency{INT64_MAX}), Variant(zero4), Variant(zero28), Variant(true),
         Variant::Null(), Variant::Null(), Variant(int16_t{0}), Variant(-1.5)},
    };
    const std::vector<Row> rows = Rows(
        L"SELECT [id], [txt], [memo], [when], [day], [money], "
        L"[dec], [frac], [flag], [g], [bin], [small], [real] "
        L"FROM [Sync] ORDER BY [id]");
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), expected[r].size());
        for (size_t i = 0; i < rows[r].size(); ++i)
            EXPECT_TRUE(rows[r][i] == expected[r][i]) << "row " << r << " field " << i;
    }
}

TEST_F(ExecutorTest, LargeBinaryValueOverManyLinesIsStoredWhole)
{
    std::vector<std::uint8_t> blob(1 << 20);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    const std::wstring script =
        L"CREATE TABLE [Big] ([id] LONG, [b] LONGBINARY);\r\n"
        L"INSERT INTO [Big] ([id], [b]) VALUES (1, base64(\"" +
        Base64Lines(blob) +
        L"\"));\r\n"
        L"UPDATE [Big] SET [b]=base64(\"" +
        Base64Lines(blob) + L"\"), [id]=2 WHERE [id]=1;\r\n";
    ASSERT_EQ(Run(script), kSuccess);
    EXPECT_EQ(Rows(L"SELECT [id], [b] FROM [Big]"),
              (std::vector<Row>{{Variant(int32_t{2}), Variant(SafeArray(blob))}}));
}

}  // namespace
}  // namespace sqlexectest
