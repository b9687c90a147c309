// Pictures of the wizard's pages for the documentation, taken over tests/data/nwind.mdb and a
// changed native copy of some of its tables. Runs only when CRV_SCREENSHOT_DIR names a folder.
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>

#include "corvina/about_dialog.h"
#include "corvina/progress_page.h"
#include "corvina/report_save_page.h"
#include "corvina/save_file_field.h"
#include "corvina/script_options_page.h"
#include "corvina/settings_dialog.h"
#include "corvina/tables_page.h"
#include "page_clicks.h"
#include "wizard_fixture.h"

namespace wizardtest {
namespace {

const wchar_t* const kCopy =
    L"CREATE TABLE Shippers (ShipperID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
    L"CompanyName TEXT(40) NOT NULL, Phone TEXT(24));\n"
    L"INSERT INTO Shippers (ShipperID, CompanyName, Phone) VALUES (1, 'Speedy Express', "
    L"'(503) 555-9831');\n"
    L"INSERT INTO Shippers (ShipperID, CompanyName, Phone) VALUES (2, 'United Package', "
    L"'(503) 555-0000');\n";

class ScreenshotTest : public WizardTest {
protected:
    void Save(QWidget& window, const char* name)
    {
        QCoreApplication::processEvents();
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        EXPECT_TRUE(window.grab().save(path)) << path.toStdString();
    }

    // The screen where the window lies, with the popups and menus it shows over itself.
    void SaveScreen(QWidget& window, const char* name)
    {
        QCoreApplication::processEvents();
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        const QRect frame = window.frameGeometry();
        EXPECT_TRUE(window.screen()
                        ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                        .save(path))
            << path.toStdString();
    }

    QString folder = qEnvironmentVariable("CRV_SCREENSHOT_DIR");
};

TEST_F(ScreenshotTest, EveryPageOfTheWizard)
{
    if (folder.isEmpty())
        GTEST_SKIP() << "CRV_SCREENSHOT_DIR is not set";
    const std::wstring copy = PathOf("nwind_changed.mdb");
    ASSERT_EQ(MakeStore(copy, kCopy), L"");
    const std::wstring nwind = automation::FromUtf8(testsupport::CopyTestData("nwind.mdb", dir).string());

    wizard->resize(800, 600);
    Database()->PathEdit()->setText(QString::fromStdWString(copy));
    Save(*wizard, "corvina_database.png");
    EnterDatabase(copy);
    Database()->PathEdit()->setText(QString::fromStdWString(nwind));
    Database()->UserEdit()->setText(QStringLiteral("Admin"));
    Save(*wizard, "corvina_database2.png");
    EnterDatabase(nwind);
    ASSERT_EQ(wizard->CurrentStep(), 4);
    ClickNext();
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    ClickNext();
    ASSERT_EQ(wizard->CurrentStep(), 6);
    Save(*wizard, "corvina_choice.png");
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    options->OutputFile()->Edit()->setText(QString::fromStdWString(PathOf("nwind_sync.sql")));
    options->RunSynchronization()->setChecked(true);
    Save(*wizard, "corvina_script_options.png");
    wizard->resize(1280, 900);
    Save(*wizard, "corvina_script_options_large.png");
    wizard->resize(800, 600);
    ClickNext();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(wizard->CurrentStep(), 13) << (dialogs.messages.empty()
                                                 ? ""
                                                 : automation::ToUtf8(dialogs.messages[0].text));
    Save(*wizard, "corvina_message.png");

    // A progress page part-way through its task.
    ClickBack();
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    ClickNext();
    ClickNext();
    auto* again = Current<ScriptOptionsPage>();
    ASSERT_NE(again, nullptr);
    ProgressPage shown(nullptr, L"Please wait. Writing the SQL Script...");
    shown.Create(*wizard);
    again->hide();
    wizard->DisableBack();
    wizard->DisableNext();
    shown.Bar()->setRange(0, 100);
    shown.Bar()->setValue(40);
    Save(*wizard, "corvina_progress.png");
    shown.hide();
    again->show();

    SettingsDialog settings(dialogs, wizard.get());
    settings.show();
    Save(settings, "corvina_settings.png");
    AboutDialog about(wizard.get());
    about.show();
    Save(about, "corvina_about.png");
}

// The tables page over the genuine file and a copy of it, every table open, at the smallest and
// at a large size.
TEST_F(ScreenshotTest, TheTablesPageOverTheGenuineFile)
{
    if (folder.isEmpty())
        GTEST_SKIP() << "CRV_SCREENSHOT_DIR is not set";
    const auto copied = testsupport::CopyTestData("nwind.mdb", dir);
    std::filesystem::rename(copied, dir / "nwind_copy.mdb");
    const std::wstring copy = PathOf("nwind_copy.mdb");
    const std::wstring nwind =
        automation::FromUtf8(testsupport::CopyTestData("nwind.mdb", dir).string());
    wizard->resize(800, 600);
    Database()->PathEdit()->setText(QString::fromStdWString(nwind));
    Database()->UserEdit()->setText(QStringLiteral("Admin"));
    EnterDatabase(nwind);
    Database()->PathEdit()->setText(QString::fromStdWString(copy));
    Database()->UserEdit()->setText(QStringLiteral("Admin"));
    EnterDatabase(copy);
    auto* tables = Current<TablesPage>();
    ASSERT_NE(tables, nullptr);
    Save(*wizard, "corvina_tables_folded.png");
    // A folded table's candidates, and the context menu of a field of an open one.
    const htmlui::ElementRef structure = tables->GetRootElement().FindById("structure");
    pageclicks::Click(*tables, structure.GetChild(3).FindFirst(".tables_popup_button"));
    SaveScreen(*wizard, "corvina_tables_popup.png");
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                      : static_cast<QWidget*>(tables),
                    Qt::Key_Escape);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    tables->RunMenuCommand(L"tables_expand", -1, -1);
    Save(*wizard, "corvina_tables_open.png");
    pageclicks::Click(*tables, structure.GetChild(0).GetChild(2).GetChild(1), Qt::RightButton);
    SaveScreen(*wizard, "corvina_tables_menu.png");
    for (QMenu* menu : tables->findChildren<QMenu*>())
        menu->close();
    wizard->resize(1280, 900);
    Save(*wizard, "corvina_tables_open_large.png");
}

}  // namespace
}  // namespace wizardtest
