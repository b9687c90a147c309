// Registry values kept as settings files under the test's private config folder.
#include "platform/ui/registry_settings.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace ui {
namespace {

QString ConfigFile(const char* relative)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + QLatin1String(relative);
}

TEST(RegistrySettings, WrittenValuesReadBackAndMissingOnesGiveTheDefault)
{
    EXPECT_EQ(ReadRegistryDword(L"SOFTWARE\\RegTestA", L"missing", 7u), 7u);
    const uint32_t values[] = {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu};
    for (uint32_t value : values) {
        ASSERT_TRUE(WriteRegistryDword(L"SOFTWARE\\RegTestA", L"stoponerror", value));
        EXPECT_EQ(ReadRegistryDword(L"SOFTWARE\\RegTestA", L"stoponerror", 42u), value);
    }
    // Another key is another program's settings.
    EXPECT_EQ(ReadRegistryDword(L"SOFTWARE\\RegTestB", L"stoponerror", 42u), 42u);
}

TEST(RegistrySettings, KeyPathNamesTheOrganisationAndApplication)
{
    ASSERT_TRUE(WriteRegistryDword(L"SOFTWARE\\RegTestC", L"nulleqemptystr", 1));
    EXPECT_TRUE(QFileInfo::exists(ConfigFile("RegTestC/RegTestC.conf")));
    ASSERT_TRUE(WriteRegistryDword(L"Software\\RegTestCompany\\Product", L"v", 1));
    EXPECT_TRUE(QFileInfo::exists(ConfigFile("RegTestCompany/Product.conf")));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "RegTestC", "RegTestC");
    EXPECT_EQ(settings.value("nulleqemptystr").toInt(), 1);
}

TEST(RegistrySettings, ValuesThatAreNoDwordGiveTheDefault)
{
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "RegTestD", "RegTestD");
        settings.setValue("text", "abc");
        settings.setValue("large", 4294967296LL);
        settings.setValue("negative", -1);
        settings.setValue("written", "5");
    }
    for (const wchar_t* name : {L"text", L"large", L"negative"})
        EXPECT_EQ(ReadRegistryDword(L"SOFTWARE\\RegTestD", name, 9u), 9u);
    EXPECT_EQ(ReadRegistryDword(L"SOFTWARE\\RegTestD", L"written", 9u), 5u);
}

}  // namespace
}  // namespace ui
