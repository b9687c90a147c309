#include "support/temp_dir.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "crvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TestDataDir()
{
    return CRV_TESTDATA_DIR;
}

std::filesystem::path CopyTestData(const std::string& name, const TempDir& dir)
{
    const auto target = dir / name;
    std::filesystem::copy_file(TestDataDir() / name, target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

std::filesystem::path BinaryDir()
{
    return CRV_BINARY_DIR;
}

}  // namespace testsupport
