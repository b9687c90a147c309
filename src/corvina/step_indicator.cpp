#include "corvina/step_indicator.h"

StepIndicator::StepIndicator(QWidget* parent) : HtmlHostWindow(parent, 0) {}

void StepIndicator::SetPosition(int position)
{
    position_ = position;
    const htmlui::ElementRef steps = GetRootElement().FindById("steps");
    if (!steps.IsValid())
        return;
    const unsigned count = steps.GetChildCount();
    for (unsigned i = 0; i < count; ++i) {
        const int stage = static_cast<int>(i);
        const wchar_t* cls = stage < position    ? L"step_passed"
                             : stage == position ? L"step_current"
                                                 : L"step_remained";
        steps.GetChild(i).SetAttribute("class", cls);
    }
    steps.Update();
}

std::wstring StepIndicator::StageClass(int stage) const
{
    const htmlui::ElementRef steps = GetRootElement().FindById("steps");
    if (!steps.IsValid() || stage < 0 || unsigned(stage) >= steps.GetChildCount())
        return {};
    return steps.GetChild(unsigned(stage)).GetAttribute("class").value_or(L"");
}
