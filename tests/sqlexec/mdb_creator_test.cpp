// Empty databases: a new file opens and takes statements; an existing file is never replaced.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

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

// Whoever looks at the path while a database is being made (or after the process making it was
// killed) finds either nothing or a whole store: never an empty or half-written file.
TEST_F(ExecutorTest, NewDatabaseAppearsOnlyWhenWhole)
{
    std::atomic<bool> done = false;
    std::atomic<int> partial = 0;
    const std::string target = (dir / "watched.mdb").string();
    std::thread watcher([&] {
        while (!done) {
            std::ifstream in(target, std::ios::binary);
            char head[16] = {};
            if (in && !(in.read(head, 16) && std::string(head, 15) == "SQLite format 3"))
                ++partial;
        }
    });
    for (int round = 0; round < 20; ++round) {
        std::filesystem::remove(target);
        settings.path = automation::FromUtf8(target);
        SQLExecutor::MdbCreator creator(settings);
        ASSERT_TRUE(creator.Create());
    }
    done = true;
    watcher.join();
    EXPECT_EQ(partial, 0);
    // Nothing of the making is left beside the database.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files += entry.path().filename().string().find(".new-") != std::string::npos;
    EXPECT_EQ(files, 0u);
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
