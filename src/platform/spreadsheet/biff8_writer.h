// Writes a workbook as a classic Excel 97-2003 file: BIFF8 records in the "Workbook" stream of
// an OLE2 compound file (the container comes from libgsf, the records are our own).
#pragma once

#include <memory>
#include <string>

namespace excel {

struct WorkbookData;
class SheetData;

// The file replaces one of that name only when it is whole; raises automation::ComError with
// the reason when it cannot be written.
void WriteWorkbookFile(WorkbookData& book, const std::wstring& path);

// Brings the sheet's cells into memory to be changed or read, setting aside the sheet used
// before it (its records go to the workbook's spill file as they will be saved). Raises
// automation::ComError when a sheet set aside cannot be read back.
SheetData& UseSheet(WorkbookData& book, const std::shared_ptr<SheetData>& sheet);

// Sets the sheet aside; false (the sheet stays in memory) when there is no room for it.
bool ParkSheet(WorkbookData& book, SheetData& sheet);
void UnparkSheet(WorkbookData& book, SheetData& sheet);

}  // namespace excel
