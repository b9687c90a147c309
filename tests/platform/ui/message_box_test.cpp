// Message boxes: the MB_ flags mapped onto QMessageBox, and the answer without a display.
#include "platform/ui/message_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace ui {
namespace {

struct BoxCase {
    unsigned type;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    int defaultResult;
};

TEST(MessageBox, FlagsChooseTheIconAndTheButtons)
{
    const BoxCase cases[] = {
        {MB_OK, QMessageBox::NoIcon, QMessageBox::Ok, IDOK},
        {MB_OK | MB_ICONERROR, QMessageBox::Critical, QMessageBox::Ok, IDOK},
        {MB_ICONSTOP, QMessageBox::Critical, QMessageBox::Ok, IDOK},
        {MB_OKCANCEL | MB_ICONWARNING, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel,
         IDOK},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
         IDYES},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, QMessageBox::Warning,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, IDYES},
        {MB_ICONINFORMATION, QMessageBox::Information, QMessageBox::Ok, IDOK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const auto box = MakeMessageBox(nullptr, L"Can't open file", L"Error", c.type);
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->standardButtons(), c.buttons);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Error"));
        EXPECT_EQ(box->text(), QStringLiteral("Can't open file"));
        EXPECT_EQ(DefaultMessageBoxResult(c.type), c.defaultResult);
    }
}

TEST(MessageBox, TextIsShownAsPlainText)
{
    const auto box = MakeMessageBox(nullptr, L"<b>a & b</b>", L"Help", MB_ICONINFORMATION);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

TEST(MessageBox, WithoutADisplayWritesCaptionAndTextToStandardErrorAndAnswersAtOnce)
{
    testsupport::TempDir dir;
    const std::string path = (dir / "stderr.txt").string();
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    dup2(fileno(file), 2);
    const int ok =
        ShowMessageBox(nullptr, L"Choose a database file", L"Can't open mdb file", MB_OK);
    const int yes = ShowMessageBox(nullptr, L"Caf\u00E9?", L"Question", MB_YESNO | MB_ICONQUESTION);
    // An error text that begins with its own line break starts beside the caption all the same,
    // and its lines end as a terminal's lines do.
    ShowMessageBox(nullptr, L"\r\nError: no such table\r\nsecond line", L"Error", MB_ICONERROR);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(file);

    EXPECT_EQ(ok, IDOK);
    EXPECT_EQ(yes, IDYES);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(),
              "Can't open mdb file: Choose a database file\nQuestion: Caf\xC3\xA9?\n"
              "Error: Error: no such table\nsecond line\n");
}

}  // namespace
}  // namespace ui
