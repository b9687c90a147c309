// Temporary folders and test-data paths shared by the test programs.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// A fresh folder that is removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The folder of the real Access sample files (read-only: copy before opening).
std::filesystem::path TestDataDir();

// Copies a sample file into `dir` and returns the copy's path.
std::filesystem::path CopyTestData(const std::string& name, const TempDir& dir);

// The folder where the programs under test were built.
std::filesystem::path BinaryDir();

}  // namespace testsupport
