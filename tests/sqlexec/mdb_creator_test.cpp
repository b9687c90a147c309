// Empty databases: a new file opens and takes statements; an existing file is never replaced.
#include <gtest/gtest.h>

#include <fstream>

#include "executor_fixture.h"

namespace sqlexectest {
namespace {

TEST_F(ExecutorTest, CreatedDatabaseOpensAndTakesStatements)
{
    for (const char* name : {"new.mdb", "new.ACCDB  ", "no extension"}) {
        SCOPED_TRACE(name);
        settings.path = automation::FromUtf8((dir / name).string());
        SQLExecutor::MdbCreator creator(settings);
        ASSERT_TRUE(creator.Create());
        EXPECT_FALSE(creator.HasError());
        EXPECT_EQ(Run(L"CREATE TABLE [T] ([n] LONG);\nINSERT INTO [T] ([n]) VALUES (5);"),
                  L"Command(s) completed successfully.");
        EXPECT_EQ(Rows(L"SELECT [n] FROM [T]"), std::vector<Row>{{automation::Variant(5)}});
    }
}

TEST_F(ExecutorTest, CreatingOverAnExistingFileFailsAndKeepsIt)
{
    const auto other = dir / "other.mdb";
    std::ofstream(other) << "keep me";
    ConnectionSettings existing[2];
    existing[0].path = settings.path;  // a database the fixture made
    existing[1].path = automation::FromUtf8(other.string());
    for (const ConnectionSettings& s : existing) {
        SQLExecutor::MdbCreator creator(s);
        EXPECT_FALSE(creator.Create());
        EXPECT_TRUE(creator.HasError());
        EXPECT_EQ(creator.GetError().substr(0, 9), L"\r\nError: ");
        EXPECT_GT(creator.GetError().size(), 9u);
    }
    std::ifstream in(other);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
}

}  // namespace
}  // namespace sqlexectest
