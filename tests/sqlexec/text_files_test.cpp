// Script files written and read back in the three encodings, and the file edge cases.
#include <gtest/gtest.h>

#include <memory>

#include "byte_files.h"
#include "platform/automation/wide_text.h"
#include "sqlexec/script_file_reader.h"
#include "sqlexec/text_encoder.h"
#include "sqlexec/text_file_writer.h"
#include "support/temp_dir.h"

namespace {

using sqlexectest::Bytes;
using sqlexectest::ReadBytes;
using sqlexectest::WriteBytes;

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::wstring Wide(const std::filesystem::path& path)
{
    return path.wstring();
}

// A script file opened and read as the runner reads it, into a text that held "old" before.
struct ReadOutcome {
    bool read = false;
    std::wstring text = L"old";
    std::wstring error;
    std::unique_ptr<ITextEncoder> encoder;
};

ReadOutcome ReadScript(const std::wstring& path)
{
    ReadOutcome outcome;
    ScriptFileReader reader(path);
    EXPECT_TRUE(reader.Open()) << automation::ToUtf8(reader.GetError());
    outcome.read = reader.Read(outcome.text);
    outcome.error = reader.GetError();
    outcome.encoder = reader.TakeEncoder();
    EXPECT_EQ(reader.TakeEncoder(), nullptr);  // handed over once
    return outcome;
}

// `bytes` written as the file at `path`, then read.
ReadOutcome ReadScript(const std::filesystem::path& path, const Bytes& bytes)
{
    WriteBytes(path, bytes);
    return ReadScript(Wide(path));
}

TEST(TextFiles, ScriptRoundTripsInEachEncodingWithItsMarkAndBytes)
{
    struct Case {
        int encoding;
        std::wstring text;
        Bytes expectedBytes;  // the whole file, from the encodings' definitions
        bool (*isEncoder)(const ITextEncoder*);
    };
    const Case cases[] = {
        // ANSI: Latin-1 letters keep their code; the 0x80-0x9F block holds the typographic
        // characters of code page 1252.
        {TextFileWriter::kAnsi,
         L"caf\x00E9 \x20AC\x201E\x2122\x0178;\r\n",
         {'c', 'a', 'f', 0xE9, ' ', 0x80, 0x84, 0x99, 0x9F, ';', '\r', '\n'},
         [](const ITextEncoder* e) { return dynamic_cast<const TextEncoderASCII*>(e) != nullptr; }},
        // UTF-8: Cyrillic, CJK and a character beyond the 16-bit range.
        {TextFileWriter::kUtf8,
         L"\x0416\x4E2D\x0001F600;",
         {0xEF, 0xBB, 0xBF, 0xD0, 0x96, 0xE4, 0xB8, 0xAD, 0xF0, 0x9F, 0x98, 0x80, ';'},
         [](const ITextEncoder* e) { return dynamic_cast<const TextEncoderUTF8*>(e) != nullptr; }},
        // UTF-16 LE: the character beyond U+FFFF is stored as the pair D83D DE00.
        {TextFileWriter::kUtf16,
         L"\x0416\x4E2D\x0001F600;",
         {0xFF, 0xFE, 0x16, 0x04, 0x2D, 0x4E, 0x3D, 0xD8, 0x00, 0xDE, ';', 0x00},
         [](const ITextEncoder* e) { return dynamic_cast<const TextEncoderUTF16*>(e) != nullptr; }},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        const auto path = dir / ("script" + std::to_string(c.encoding) + ".sql");
        TextFileWriter writer(Wide(path), c.encoding);
        ASSERT_TRUE(writer.Open());
        // Two blocks: the file is the concatenation of the encoded writes after one mark.
        const size_t half = c.text.size() / 2;
        ASSERT_TRUE(writer.Write(std::wstring_view(c.text).substr(0, half)));
        ASSERT_TRUE(writer.Write(std::wstring_view(c.text).substr(half)));
        ASSERT_TRUE(writer.Close());
        EXPECT_FALSE(writer.HasError());
        EXPECT_EQ(ReadBytes(path), c.expectedBytes);

        const ReadOutcome read = ReadScript(Wide(path));
        ASSERT_TRUE(read.read);
        EXPECT_EQ(read.text, c.text);
        EXPECT_TRUE(c.isEncoder(read.encoder.get()));
    }
}

TEST(TextFiles, AnsiRefusesCharactersOutsideCodePage1252WithAClearError)
{
    testsupport::TempDir dir;
    const auto path = dir / "ansi.sql";
    TextFileWriter writer(Wide(path));
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Write(L"INSERT INTO t VALUES ('ok');\r\n"));
    EXPECT_FALSE(writer.Write(L"INSERT INTO t VALUES ('\x4E2D');\r\n"));
    EXPECT_TRUE(writer.HasError());
    EXPECT_EQ(writer.GetError(),
              L"Can't write file: the character U+4E2D cannot be written in the ANSI encoding "
              L"(Windows-1252)");
    EXPECT_FALSE(writer.Close());
    EXPECT_TRUE(writer.HasError());  // the flag stays set
    // A failed save creates no file at all.
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              0);

    // C1 controls without a code page 1252 byte are refused too, and the error names them.
    TextEncoderASCII encoder;
    size_t length = 0;
    for (wchar_t c : {L'\x0080', L'\x0100', L'\x2028', L'\xFFFD', wchar_t(0x1F600)}) {
        try {
            encoder.Encode(std::wstring(L"ab") + c, length);
            ADD_FAILURE() << "encoded " << unsigned(c);
        } catch (const TextEncodeError& error) {
            EXPECT_EQ(error.Character(), char32_t(c));
            EXPECT_EQ(error.Position(), 2u);
        }
    }
}

TEST(TextFiles, FailedSaveKeepsTheOldFileWholeAndASuccessfulOneReplacesIt)
{
    testsupport::TempDir dir;
    const auto path = dir / "script.sql";
    const std::string old = "-- the user's script\r\nSELECT 1;\r\n";
    WriteBytes(path, Bytes(old.begin(), old.end()));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    {
        TextFileWriter writer(Wide(path));
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write(L"SELECT 2;\r\n"));
        EXPECT_FALSE(writer.Write(L"SELECT '\x4E2D';\r\n"));
        EXPECT_FALSE(writer.Close());
    }
    EXPECT_EQ(ReadBytes(path), Bytes(old.begin(), old.end()));

    {
        TextFileWriter writer(Wide(path), TextFileWriter::kUtf8);
        ASSERT_TRUE(writer.Open());
        EXPECT_EQ(ReadBytes(path), Bytes(old.begin(), old.end()));  // untouched while writing
        ASSERT_TRUE(writer.Write(L"SELECT 3;"));
        EXPECT_TRUE(writer.Close());
    }
    EXPECT_EQ(ReadBytes(path),
              Concat({0xEF, 0xBB, 0xBF}, {'S', 'E', 'L', 'E', 'C', 'T', ' ', '3', ';'}));
    // The replaced file keeps the permissions the user gave it, and no temporary file is left.
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(TextFiles, AnsiDecodesEveryByteByCodePage1252AndWritesItBack)
{
    // The 0x80-0x9F block of code page 1252; the five unassigned bytes stay C1 controls.
    const char16_t expected80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = std::uint8_t(i);
    TextEncoderASCII encoder;
    std::wstring text;
    encoder.Decode(all.data(), all.size(), text);
    ASSERT_EQ(text.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        const wchar_t want = (i >= 0x80 && i < 0xA0) ? expected80[i - 0x80] : wchar_t(i);
        EXPECT_EQ(text[i], want) << "byte " << i;
    }
    size_t length = 0;
    const std::uint8_t* bytes = encoder.Encode(text, length);
    EXPECT_EQ(Bytes(bytes, bytes + length), all);
}

TEST(TextFiles, ReaderPicksTheEncodingFromTheByteOrderMarkOnly)
{
    struct Case {
        const char* name;
        Bytes bytes;
        std::wstring expected;
        bool (*isEncoder)(const ITextEncoder*);
    };
    auto ansi = [](const ITextEncoder* e) {
        return dynamic_cast<const TextEncoderASCII*>(e) != nullptr;
    };
    auto utf8 = [](const ITextEncoder* e) {
        return dynamic_cast<const TextEncoderUTF8*>(e) != nullptr;
    };
    auto utf16 = [](const ITextEncoder* e) {
        return dynamic_cast<const TextEncoderUTF16*>(e) != nullptr;
    };
    const Case cases[] = {
        {"mark-only-utf16", {0xFF, 0xFE}, L"", utf16},
        {"mark-only-utf8", {0xEF, 0xBB, 0xBF}, L"", utf8},
        // A UTF-8 mark wins even when the rest also looks like UTF-16.
        {"utf8-first", {0xEF, 0xBB, 0xBF, 'A', 0, 'B', 0}, std::wstring(L"A\0B\0", 4), utf8},
        // UTF-16 without its mark is read as ANSI bytes.
        {"utf16-no-mark", {'A', 0, 'B', 0}, std::wstring(L"A\0B\0", 4), ansi},
        // Plain UTF-8 without a mark is ANSI as well.
        {"utf8-no-mark", {0xC3, 0xA9}, L"\x00C3\x00A9", ansi},
        {"short-mark", {0xEF, 0xBB}, L"\x00EF\x00BB", ansi},
        // Bytes that would be malformed UTF-8 are fine without a mark: ANSI takes every byte.
        {"ansi-high-bytes",
         {'a', 0xC3, 'b', 0xED, 0xA0, 0x80},
         L"a\x00C3"
         L"b\x00ED\x00A0\x20AC",
         ansi},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadOutcome read = ReadScript(dir / c.name, c.bytes);
        ASSERT_TRUE(read.read);
        EXPECT_EQ(read.text, c.expected);
        EXPECT_TRUE(c.isEncoder(read.encoder.get()));
        EXPECT_EQ(read.error, L"");
    }
}

// A file that claims UTF-8 or UTF-16 by its mark and does not hold it is refused with the place
// of the first bad sequence, rather than read with replacement characters that would reach the
// database.
TEST(TextFiles, ReaderRefusesInvalidTextWithItsPlace)
{
    const struct {
        const char* name;
        Bytes bytes;
        const wchar_t* place;  // after "invalid "
    } cases[] = {
        {"utf8-truncated-at-end",
         {0xEF, 0xBB, 0xBF, 'a', 0xC3},
         L"UTF-8 text at line 1, byte offset 4."},
        {"utf8-truncated-inside",
         {0xEF, 0xBB, 0xBF, 'a', '\n', 'b', 0xE2, 0x82, 'c'},
         L"UTF-8 text at line 2, byte offset 6."},
        {"utf8-overlong-slash",
         {0xEF, 0xBB, 0xBF, 0xC0, 0xAF},
         L"UTF-8 text at line 1, byte offset 3."},
        {"utf8-overlong-three",
         {0xEF, 0xBB, 0xBF, 'x', 0xE0, 0x80, 0xAF},
         L"UTF-8 text at line 1, byte offset 4."},
        {"utf8-surrogate",
         {0xEF, 0xBB, 0xBF, '\r', '\n', '\n', 0xED, 0xA0, 0x80},
         L"UTF-8 text at line 3, byte offset 6."},
        {"utf8-beyond-unicode",
         {0xEF, 0xBB, 0xBF, 0xF4, 0x90, 0x80, 0x80},
         L"UTF-8 text at line 1, byte offset 3."},
        {"utf8-stray-continuation",
         {0xEF, 0xBB, 0xBF, 'o', 'k', 0x80},
         L"UTF-8 text at line 1, byte offset 5."},
        {"utf8-lead-byte-ff", {0xEF, 0xBB, 0xBF, 0xFF}, L"UTF-8 text at line 1, byte offset 3."},
        {"utf16-odd-last-byte",
         {0xFF, 0xFE, 'x', 0, 'y'},
         L"UTF-16 text at line 1, byte offset 4."},
        {"utf16-lone-high",
         {0xFF, 0xFE, 'x', 0, '\n', 0, 0x3D, 0xD8, 'y', 0},
         L"UTF-16 text at line 2, byte offset 6."},
        {"utf16-high-at-end", {0xFF, 0xFE, 0x3D, 0xD8}, L"UTF-16 text at line 1, byte offset 2."},
        {"utf16-lone-low",
         {0xFF, 0xFE, 0x00, 0xDE, 'x', 0},
         L"UTF-16 text at line 1, byte offset 2."},
        // A line feed's byte inside another unit is no line break.
        {"utf16-0a-high-byte",
         {0xFF, 0xFE, 0x41, 0x0A, 0x00, 0xDC},
         L"UTF-16 text at line 1, byte offset 4."},
    };
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / c.name;
        const ReadOutcome read = ReadScript(path, c.bytes);
        EXPECT_FALSE(read.read);
        EXPECT_EQ(read.error,
                  L"Can't read SQL script file " + Wide(path) + L": invalid " + c.place);
        EXPECT_EQ(read.text, L"old");
        EXPECT_EQ(read.encoder, nullptr);
    }
    // The same sequences well formed read as text: the check refuses only what is broken.
    const ReadOutcome read = ReadScript(
        dir / "good.sql", {0xEF, 0xBB, 0xBF, 0xC2, 0x80, 0xED, 0x9F, 0xBF, 0xF4, 0x8F, 0xBF, 0xBF});
    ASSERT_TRUE(read.read);
    EXPECT_EQ(read.text, L"\x0080\xD7FF\x0010FFFF");
}

// Only a regular file is read: a folder or a device would be read as a stream of unknown or
// endless length.
TEST(TextFiles, ReaderRefusesFoldersAndDevices)
{
    testsupport::TempDir dir;
    const struct {
        std::wstring path;
        std::wstring reason;
    } cases[] = {
        {Wide(dir.path()), L": it is a folder."},
        {L"/dev/zero", L": it is not a regular file."},
        {L"/dev/null", L": it is not a regular file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(automation::ToUtf8(c.path));
        const ReadOutcome read = ReadScript(c.path);
        EXPECT_FALSE(read.read);
        EXPECT_EQ(read.error, L"Can't read file " + c.path + c.reason);
        EXPECT_EQ(read.text, L"old");
    }
}

TEST(TextFiles, ReaderReportsMissingAndEmptyFilesAndKeepsTheCallersText)
{
    testsupport::TempDir dir;
    const std::wstring missing = Wide(dir / "missing.sql");
    ScriptFileReader absent(missing);
    EXPECT_FALSE(absent.Open());
    EXPECT_EQ(absent.GetError(), L"Can't open file " + missing);

    const auto emptyPath = dir / "empty.sql";
    const ReadOutcome empty = ReadScript(emptyPath, {});
    EXPECT_FALSE(empty.read);
    EXPECT_EQ(empty.error, L"Can't read file " + Wide(emptyPath));
    EXPECT_EQ(empty.text, L"old");
    EXPECT_EQ(empty.encoder, nullptr);
}

TEST(TextFiles, WriterSavesThroughLinksIntoTheFileEveryNameShows)
{
    namespace fs = std::filesystem;
    testsupport::TempDir dir;
    WriteBytes(dir / "real.sql", {'o', 'l', 'd'});
    fs::create_symlink("real.sql", dir / "symbolic.sql");
    fs::create_hard_link(dir / "real.sql", dir / "hard.sql");
    for (const char* name : {"symbolic.sql", "hard.sql"}) {
        SCOPED_TRACE(name);
        TextFileWriter writer(Wide(dir / name), TextFileWriter::kUtf8);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write(std::wstring(L"x") + static_cast<wchar_t>(name[0])));
        ASSERT_TRUE(writer.Close());
        const Bytes expected = {0xEF, 0xBB, 0xBF, 'x', static_cast<std::uint8_t>(name[0])};
        for (const char* seen : {"real.sql", "symbolic.sql", "hard.sql"})
            EXPECT_EQ(ReadBytes(dir / seen), expected) << seen;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "symbolic.sql"));
    EXPECT_EQ(fs::hard_link_count(dir / "real.sql"), 2u);
}

TEST(TextFiles, WriterReportsFilesItCannotCreateAndRejectsUnknownEncodings)
{
    testsupport::TempDir dir;
    TextFileWriter writer(Wide(dir / "no-such-folder" / "out.sql"), TextFileWriter::kUtf8);
    EXPECT_FALSE(writer.Open());
    EXPECT_TRUE(writer.HasError());
    EXPECT_EQ(writer.GetError(), L"Can't create file.");
    EXPECT_FALSE(writer.Write(L"x"));

    for (int bad : {0, 4, -1})
        EXPECT_THROW(TextFileWriter(Wide(dir / "x"), bad), std::invalid_argument);
    EXPECT_THROW(TextFileWriter(Wide(dir / "x"), static_cast<ITextEncoder*>(nullptr)),
                 std::invalid_argument);
}

TEST(TextFiles, WriterUsesTheCallersEncoderAndLeavesItToTheCaller)
{
    testsupport::TempDir dir;
    TextEncoderUTF16 encoder;
    const auto path = dir / "keep.sql";
    {
        TextFileWriter writer(Wide(path), &encoder);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write(L""));  // writes nothing, succeeds
        ASSERT_TRUE(writer.Write(L"a"));
    }  // closing by destruction flushes the file
    EXPECT_EQ(ReadBytes(path), Concat({0xFF, 0xFE}, {'a', 0}));
    // The encoder outlived the writer and still works.
    size_t length = 0;
    encoder.Encode(L"bc", length);
    EXPECT_EQ(length, 4u);
}

}  // namespace
