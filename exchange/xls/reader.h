// Reads the first worksheet of a .xls workbook (BIFF8, and the older BIFF5) into the
// format-free model.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"

namespace quillon::xls {

// A whole .xls file: a compound file holding a "Workbook" (BIFF8) or "Book" (BIFF5)
// stream, or such a stream saved on its own, as some old programs did.
WorkbookResult ReadXls(ByteSpan file);

// The workbook stream itself.
WorkbookResult ReadWorkbookStream(ByteSpan stream);

} // namespace quillon::xls
