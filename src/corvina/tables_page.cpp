#include "corvina/tables_page.h"

#include "compare/comparison_context.h"

void TablesPage::OnEnter()
{
    context_.BuildTablePairs();
}

bool TablesPage::Validate()
{
    return context_.PairList() != nullptr;
}
