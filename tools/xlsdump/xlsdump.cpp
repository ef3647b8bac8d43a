// xlsdump: shows a workbook's first sheet as the import reads it.
//
// Prints the sheet's name, its used rows and columns, then one line per row with the
// cells' texts (converted from the program's GB18030 to UTF-8) separated by tabs. A tab,
// line break or backslash inside a cell is written as \t, \n, \r or \\ so that each row
// stays on its line. A file that cannot be read gets a message on stderr and exit 1.
#include "exchange/read_workbook.h"
#include "platform/text.h"

#include <cstdio>
#include <string>

namespace {

std::string Escaped(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xlsdump WORKBOOK\n"
                             "Prints the first sheet of a .xls or .xlsx workbook as the "
                             "import reads it.\n");
        return 2;
    }
    const quillon::WorkbookResult result = quillon::ReadWorkbookFile(argv[1]);
    if (!result) {
        std::fprintf(stderr, "xlsdump: %s: %s: %s\n", argv[1],
                     quillon::WorkbookErrorName(result.error), result.detail.c_str());
        return 1;
    }
    const quillon::Workbook& book = result.workbook;
    std::printf("sheet: %s\nused rows: %d\nused columns: %d\n",
                Escaped(Gb18030ToUtf8(book.SheetName())).c_str(), book.UsedRows(),
                book.UsedColumns());
    std::string line;
    for (int row = 1; row <= book.UsedRows(); ++row) {
        line.clear();
        for (int column = 1; column <= book.UsedColumns(); ++column) {
            if (column > 1) {
                line += '\t';
            }
            line += Escaped(Gb18030ToUtf8(book.CellText(row, column)));
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
