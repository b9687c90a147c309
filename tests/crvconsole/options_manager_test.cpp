// "Stop on Error" in the user's settings: on when nothing is stored, persisted on every change.
#include "crvconsole/options_manager.h"

#include <gtest/gtest.h>

#include <QSettings>

#include "platform/ui/registry_settings.h"

namespace {

constexpr const wchar_t* kKey = L"SOFTWARE\\CrvConsole";
constexpr const wchar_t* kValue = L"stoponerror";

class OptionsManagerTest : public testing::Test {
protected:
    void SetUp() override { ui::WriteRegistryDword(kKey, kValue, 1); }
};

TEST_F(OptionsManagerTest, StoredValueDecidesStopOnError)
{
    const struct {
        uint32_t stored;
        bool expected;
    } cases[] = {{0, false}, {1, true}, {7, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.stored);
        ui::WriteRegistryDword(kKey, kValue, test.stored);
        OptionsManager manager;
        EXPECT_EQ(manager.GetOptions().stopOnError, test.expected);
    }
}

TEST_F(OptionsManagerTest, MissingOrUnreadableValueMeansOn)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "CrvConsole", "CrvConsole");
    settings.remove("stoponerror");
    settings.sync();
    EXPECT_TRUE(OptionsManager().GetOptions().stopOnError);

    settings.setValue("stoponerror", "not a number");
    settings.sync();
    EXPECT_TRUE(OptionsManager().GetOptions().stopOnError);
}

TEST_F(OptionsManagerTest, ChangesAreStoredAndSeenByTheNextManager)
{
    OptionsManager first;
    EXPECT_TRUE(first.SetStopOnError(false));
    EXPECT_FALSE(first.GetOptions().stopOnError);
    EXPECT_EQ(ui::ReadRegistryDword(kKey, kValue, 99), 0u);
    OptionsManager second;
    EXPECT_FALSE(second.GetOptions().stopOnError);

    // Toggling twice from the default leaves the stored value 1.
    EXPECT_TRUE(second.SetStopOnError(true));
    EXPECT_EQ(ui::ReadRegistryDword(kKey, kValue, 99), 1u);
}

TEST_F(OptionsManagerTest, LoadReplacesTheHeldOptions)
{
    OptionsManager manager;
    EXPECT_TRUE(manager.GetOptions().stopOnError);
    ui::WriteRegistryDword(kKey, kValue, 0);
    EXPECT_TRUE(manager.GetOptions().stopOnError);  // read once, on first use
    manager.Load();
    EXPECT_FALSE(manager.GetOptions().stopOnError);
}

}  // namespace
