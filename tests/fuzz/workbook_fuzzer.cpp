// Feeds arbitrary bytes to the workbook readers: through the front door (which tells a
// compound file from a zip), and straight to the BIFF record reader, which the
// container's checks would otherwise shield from most mutations. The same bytes go to the
// writer as a Workbook stream to fill in, and what it builds must read back.
#include "exchange/read_workbook.h"
#include "exchange/xls/reader.h"
#include "exchange/xls/writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// Touches every text the import would read, so that a bad index or a dangling text shows
// up here; bounded so that a huge claimed range does not stall the run.
std::size_t ReadCells(const quillon::WorkbookResult& result) {
    if (!result) {
        return result.detail.size();
    }
    const quillon::Workbook& book = result.workbook;
    std::size_t total = book.SheetName().size();
    const int rows = std::min(book.UsedRows(), 2000);
    const int columns = std::min(book.UsedColumns(), 64);
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column) {
            total += book.CellText(row, column).size();
        }
    }
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quillon::ByteSpan bytes(data, size);
    volatile std::size_t sink = ReadCells(quillon::ReadWorkbook(bytes));
    sink = sink + ReadCells(quillon::xls::ReadWorkbookStream(bytes));
    quillon::xls::FirstSheetWriter writer(bytes);
    if (writer.Status()) {
        writer.SetText(1, 1, "replaced");
        writer.SetText(40, 3, "added");
        const std::vector<std::uint8_t> built = writer.Build();
        sink = sink + ReadCells(quillon::xls::ReadWorkbookStream(built));
    }
    (void)sink;
    return 0;
}
