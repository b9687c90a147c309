// What the wizard's boxes show of a failure's text: the failure first, and its caption once.
#include "corvina/message_text.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageBoxTextTest, StartsWithTheFailureAndSaysTheCaptionOnce)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {
        {L"\r\nError: Disk gone.", L"Disk gone."},
        {L"Error: \r\nError: Disk gone.\r\n", L"Disk gone."},
        {L"Can't create file.", L"Can't create file."},
        {L"Can't open database 'a.mdb'\n\r\nError: No file.",
         L"Can't open database 'a.mdb'\n\r\nError: No file."},
        {L"Errors: 2", L"Errors: 2"},
        {L"Error: ", L"Error:"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageBoxText(c.text, L"Error"), c.shown);
    EXPECT_EQ(MessageBoxText(L"Error: x", L"Select tables"), L"Error: x");
}

}  // namespace
