// The page on which the user chooses the tables and fields to compare and their keys.
#pragma once

#include "corvina/wizard_page.h"

class ComparisonContext;

class TablesPage : public DialogPage {
    Q_OBJECT
public:
    explicit TablesPage(ComparisonContext& context) : context_(context) {}

    void OnEnter() override;
    bool Validate() override;

protected:
    void InitDialog() override {}

private:
    ComparisonContext& context_;
};
