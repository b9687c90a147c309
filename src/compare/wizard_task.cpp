// Anchors the task interface's vtable in one object file.
#include "compare/wizard_task.h"

WizardTask::~WizardTask() = default;
