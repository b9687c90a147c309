// Opening copies of the real Access sample files for the genuine-file reader
// tests, and checking afterwards that reading left each copy untouched.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/provider/mdb/mdb_database.h"
#include "support/temp_dir.h"

namespace mdbtest {

inline std::vector<char> FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of one sample file in a fresh folder, opened; the destructor checks
// that neither the copy's bytes nor its modification time changed.
class OpenedCopy {
public:
    explicit OpenedCopy(const std::string& name)
        : path_(testsupport::CopyTestData(name, dir_)),
          bytes_(FileBytes(path_)),
          mtime_(std::filesystem::last_write_time(path_)),
          db_(provider::mdb::MdbDatabase::Open(path_))
    {
    }
    ~OpenedCopy()
    {
        db_.reset();
        EXPECT_EQ(std::filesystem::last_write_time(path_), mtime_) << path_;
        EXPECT_TRUE(FileBytes(path_) == bytes_) << path_ << " changed";
    }
    provider::mdb::MdbDatabase& db() { return *db_; }
    const std::filesystem::path& path() const { return path_; }

private:
    testsupport::TempDir dir_;
    std::filesystem::path path_;
    std::vector<char> bytes_;
    std::filesystem::file_time_type mtime_;
    std::unique_ptr<provider::mdb::MdbDatabase> db_;
};

inline const std::vector<std::string>& SampleFiles()
{
    static const std::vector<std::string> files = {"nwind.mdb", "indexTestV2003.mdb",
                                                   "ASampleDatabase.accdb", "queryTestV2010.accdb"};
    return files;
}

}  // namespace mdbtest
