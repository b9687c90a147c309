// The data comparison: runs on entry and shows its counts and records.
#pragma once

#include "corvina/wizard_page.h"

class ComparisonContext;

class RecordsWindow : public DialogPage {
    Q_OBJECT
public:
    explicit RecordsWindow(ComparisonContext& context) : context_(context) {}
    ~RecordsWindow() override;

    void OnEnter() override;

protected:
    void InitDialog() override {}

private:
    ComparisonContext& context_;
};
