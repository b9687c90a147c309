// Names and other text of the databases written into a page's markup.
#pragma once

#include <string>

namespace htmlui {

// Appends `text` to UTF-8 markup as element or attribute text: markup characters are escaped,
// so a name shows as typed and cannot change the page, and surrogate pairs that came through
// UTF-16 still split are joined into their characters first.
void AppendName(std::string& out, const std::wstring& text);

}  // namespace htmlui
