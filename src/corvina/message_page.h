// The last page of each branch of the wizard: one sentence saying what was done, and below it
// what the user must still know of it (the notice of the task), when there is anything.
#pragma once

#include <string>

#include "corvina/wizard_page.h"

class QLabel;

class MessagePage : public DialogPage {
    Q_OBJECT
public:
    explicit MessagePage(const wchar_t* text, std::wstring notice = {})
        : text_(text), notice_(std::move(notice))
    {
    }

    QString Text() const;
    QString Notice() const;

protected:
    void InitDialog() override;

private:
    const wchar_t* text_;  // a constant
    std::wstring notice_;
    QLabel* label_ = nullptr;
    QLabel* noticeLabel_ = nullptr;
};
