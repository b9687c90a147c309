// The script document: loads in the file's own encoding, saves back in it with CR LF line ends,
// and reports failed loads and saves.
#include "sqlexec/script_helper.h"

#include <gtest/gtest.h>

#include "byte_files.h"
#include "support/temp_dir.h"

namespace {

using sqlexectest::Bytes;
using sqlexectest::ReadBytes;
using sqlexectest::WriteBytes;

using SQLExecutor::ScriptHelper;

TEST(ScriptHelper, SavesInTheEncodingTheFileWasLoadedWith)
{
    struct Case {
        const char* name;
        Bytes file;           // as found on disk
        std::wstring loaded;  // the text it holds
        std::wstring edited;  // the text saved back
        Bytes saved;          // the file after the save
    };
    const Case cases[] = {
        {"UTF-16 keeps its mark",
         {0xFF, 0xFE, 'a', 0, ';', 0},
         L"a;",
         L"\x00E9;\n",
         {0xFF, 0xFE, 0xE9, 0, ';', 0, '\r', 0, '\n', 0}},
        {"UTF-8 keeps its mark",
         {0xEF, 0xBB, 0xBF, 0xC3, 0xA9},
         L"\x00E9",
         L"\x0416",
         {0xEF, 0xBB, 0xBF, 0xD0, 0x96}},
        {"ANSI stays without a mark; CR LF gets a second CR",
         {'x', 0xE9},
         L"x\x00E9",
         L"a\r\nb",
         {'a', '\r', '\r', '\n', 'b'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const auto path = dir / "script.sql";
        WriteBytes(path, c.file);
        ScriptHelper script;
        ASSERT_TRUE(script.Load(path.wstring()));
        EXPECT_FALSE(script.HasError());
        EXPECT_FALSE(script.IsUntitled());
        EXPECT_EQ(script.GetText(), c.loaded);
        ASSERT_TRUE(script.Save(c.edited));
        EXPECT_EQ(ReadBytes(path), c.saved);
    }
}

TEST(ScriptHelper, NewScriptIsSavedAsAnsiText)
{
    testsupport::TempDir dir;
    ScriptHelper script;
    EXPECT_TRUE(script.IsUntitled());
    ASSERT_TRUE(script.SaveAs((dir / "new.sql").wstring(), L"DELETE FROM [T\x00FC];\n"));
    EXPECT_FALSE(script.IsUntitled());
    const std::string expected = "DELETE FROM [T\xFC];\r\n";
    EXPECT_EQ(ReadBytes(dir / "new.sql"), Bytes(expected.begin(), expected.end()));
}

TEST(ScriptHelper, FailedLoadKeepsTheTextButTakesTheNewName)
{
    testsupport::TempDir dir;
    const auto good = dir / "good.sql";
    const auto empty = dir / "empty.sql";
    const auto missing = dir / "missing.sql";
    WriteBytes(good, {'s', ';'});
    WriteBytes(empty, {});
    struct Case {
        std::filesystem::path path;
        std::wstring error;
    };
    const Case cases[] = {
        {missing, L"Can't open file " + missing.wstring()},
        {empty, L"Can't read file " + empty.wstring()},
    };
    for (const Case& c : cases) {
        ScriptHelper script;
        ASSERT_TRUE(script.Load(good.wstring()));
        EXPECT_FALSE(script.Load(c.path.wstring()));
        EXPECT_TRUE(script.HasError());
        EXPECT_EQ(script.GetError(), c.error);
        EXPECT_EQ(script.GetText(), L"s;");
        EXPECT_EQ(script.GetFileName(), c.path.wstring());
        // A later good load clears the flag.
        EXPECT_TRUE(script.Load(good.wstring()));
        EXPECT_FALSE(script.HasError());
    }
}

TEST(ScriptHelper, SaveFailsWhenTheFileCannotBeWrittenWhole)
{
    testsupport::TempDir dir;
    ScriptHelper untitled;
    EXPECT_FALSE(untitled.Save(L"x"));
    ScriptHelper noFolder;
    EXPECT_FALSE(noFolder.SaveAs((dir / "no" / "such.sql").wstring(), L"x"));
    EXPECT_EQ(noFolder.GetSaveError(), L"No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(ScriptHelper, TextAnsiCannotHoldIsSavedAsUtf8WithItsMark)
{
    // ANSI cannot hold Cyrillic: rather than a "?" for each letter, or no file at all, the
    // script becomes UTF-8 and stays so; text ANSI holds keeps the script ANSI.
    testsupport::TempDir dir;
    const auto path = dir / "a.sql";
    ScriptHelper script;
    ASSERT_TRUE(script.SaveAs(path.wstring(), L"\x00E9;"));
    EXPECT_FALSE(script.SavedAsUtf8());
    EXPECT_EQ(ReadBytes(path), (Bytes{0xE9, ';'}));
    ASSERT_TRUE(script.Save(L"\x0416\n"));
    EXPECT_TRUE(script.SavedAsUtf8());
    EXPECT_EQ(ReadBytes(path), (Bytes{0xEF, 0xBB, 0xBF, 0xD0, 0x96, '\r', '\n'}));
    ASSERT_TRUE(script.Save(L"\x00E9"));
    EXPECT_FALSE(script.SavedAsUtf8());  // already UTF-8
    EXPECT_EQ(ReadBytes(path), (Bytes{0xEF, 0xBB, 0xBF, 0xC3, 0xA9}));

    ScriptHelper reader;
    ASSERT_TRUE(reader.Load(path.wstring()));
    EXPECT_EQ(reader.GetText(), L"\x00E9");
}

}  // namespace
