// Writes a workbook as a classic Excel 97-2003 file: BIFF8 records in the "Workbook" stream of
// an OLE2 compound file (the container comes from libgsf, the records are our own).
#pragma once

#include <string>

namespace excel {

struct WorkbookData;

// The file replaces one of that name only when it is whole; raises automation::ComError with
// the reason when it cannot be written.
void WriteWorkbookFile(const WorkbookData& book, const std::wstring& path);

}  // namespace excel
