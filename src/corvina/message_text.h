// The text of a failure as the wizard's message boxes show it: the failure itself, first and once.
#pragma once

#include <string>

// The text without the line ends and blanks around it, and without a leading "caption: " that
// would only repeat the box's own caption ("Error: " in a box captioned "Error").
std::wstring MessageBoxText(const std::wstring& text, const std::wstring& caption);
