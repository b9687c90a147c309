// Copies of the real Access sample files opened through the provider's ADO
// face; each copy's bytes and modification time are checked unchanged when it
// goes, whatever the test attempted on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "mdb_test_support.h"
#include "store_fixture.h"

namespace genuinetest {

using automation::Ptr;
using automation::Variant;
using providertest::JetString;
using providertest::Wide;

class GenuineCopy {
public:
    explicit GenuineCopy(const std::string& name)
        : path_(testsupport::CopyTestData(name, dir_)),
          bytes_(mdbtest::FileBytes(path_)),
          mtime_(std::filesystem::last_write_time(path_))
    {
        provider::RegisterProviderClasses();
    }
    ~GenuineCopy()
    {
        EXPECT_EQ(std::filesystem::last_write_time(path_), mtime_) << path_;
        EXPECT_TRUE(mdbtest::FileBytes(path_) == bytes_) << path_ << " changed";
    }

    const std::filesystem::path& path() const { return path_; }
    std::wstring WidePath() const { return Wide(path_); }

    Ptr<provider::adodb::Connection> Open(const std::wstring& extra = {}) const
    {
        auto c = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        c->Open(JetString(WidePath(), extra));
        return c;
    }

private:
    testsupport::TempDir dir_;
    std::filesystem::path path_;
    std::vector<char> bytes_;
    std::filesystem::file_time_type mtime_;
};

inline Ptr<provider::adodb::Recordset> Query(const Ptr<provider::adodb::Connection>& c,
                                             const std::wstring& sql)
{
    auto rs = automation::CreateObjectAs<provider::adodb::Recordset>(L"ADODB.Recordset");
    rs->Open(Variant(sql), c, provider::adodb::adOpenStatic, provider::adodb::adLockReadOnly,
             provider::adodb::adCmdText);
    return rs;
}

inline long Count(const Ptr<provider::adodb::Connection>& c, const std::wstring& table)
{
    auto rs = Query(c, L"SELECT count(*) FROM [" + table + L"]");
    return automation::ChangeType(rs->Fields()->Item(0L)->Value(), automation::VT_I4).lVal();
}

}  // namespace genuinetest
