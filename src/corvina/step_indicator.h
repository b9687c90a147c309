// The narrow HTML view at the wizard's left that shows the five stages of a comparison and which
// of them the user has passed, stands on, or has still to go.
#pragma once

#include "htmlui/html_host_window.h"

class StepIndicator : public htmlui::HtmlHostWindow {
    Q_OBJECT
public:
    static constexpr int kPageId = 201;
    static constexpr int kStageCount = 5;

    explicit StepIndicator(QWidget* parent);

    bool Create() { return OnCreate(kPageId); }
    // Marks the stages below the position passed, the one at it current and the rest remaining.
    void SetPosition(int position);
    int Position() const { return position_; }
    // The class a stage has now ("step_passed", "step_current" or "step_remained").
    std::wstring StageClass(int stage) const;

private:
    int position_ = -1;
};
