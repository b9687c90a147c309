// The last page of each branch of the wizard: one sentence saying what was done.
#pragma once

#include "corvina/wizard_page.h"

class QLabel;

class MessagePage : public DialogPage {
    Q_OBJECT
public:
    explicit MessagePage(const wchar_t* text) : text_(text) {}

    QString Text() const;

protected:
    void InitDialog() override;

private:
    const wchar_t* text_;  // a constant
    QLabel* label_ = nullptr;
};
