// Opening copies of the real Access sample files for the genuine-file reader
// tests, and checking afterwards that reading left each copy untouched.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
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

// A randomly damaged copy of a file's bytes, with what was done to it.
struct Damage {
    std::string description;
    std::vector<char> bytes;
};

inline Damage MakeDamage(const std::vector<char>& original, size_t pageSize, std::mt19937& rng)
{
    Damage d{"", original};
    auto& b = d.bytes;
    const size_t pages = original.size() / pageSize;
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    std::ostringstream what;
    switch (pick(6)) {
        case 0: {  // cut anywhere
            const size_t size = pick(original.size());
            b.resize(size);
            what << "truncated to " << size << " bytes";
            break;
        }
        case 1: {  // cut at a page boundary, so the size still looks whole
            const size_t keep = 1 + pick(pages - 1);
            b.resize(keep * pageSize);
            what << "truncated to " << keep << " pages";
            break;
        }
        case 2: {  // scattered flipped bytes
            const size_t n = 1 + pick(32);
            what << n << " bytes flipped at";
            for (size_t i = 0; i < n; ++i) {
                const size_t at = pick(b.size());
                b[at] = static_cast<char>(b[at] ^ (1 + pick(255)));
                what << " " << at;
            }
            break;
        }
        case 3: {  // flipped bytes in the catalog's definition page or its data
            const size_t page = 2 + pick(std::min<size_t>(pages - 2, 8));
            const size_t n = 1 + pick(8);
            what << n << " bytes flipped in page " << page << " at";
            for (size_t i = 0; i < n; ++i) {
                const size_t at = page * pageSize + pick(pageSize);
                b[at] = static_cast<char>(b[at] ^ (1 + pick(255)));
                what << " " << at % pageSize;
            }
            break;
        }
        case 4: {  // a page of zeros
            const size_t page = 1 + pick(pages - 1);
            std::fill(b.begin() + page * pageSize, b.begin() + (page + 1) * pageSize, 0);
            what << "page " << page << " zeroed";
            break;
        }
        default: {  // a page of noise
            const size_t page = 1 + pick(pages - 1);
            for (size_t i = 0; i < pageSize; ++i)
                b[page * pageSize + i] = static_cast<char>(pick(256));
            what << "page " << page << " overwritten with noise";
            break;
        }
    }
    d.description = what.str();
    return d;
}

}  // namespace mdbtest
