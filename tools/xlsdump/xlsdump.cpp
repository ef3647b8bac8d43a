// xlsdump: shows a workbook's first sheet as the import reads it.
//
// Prints the sheet's name, its used rows and columns, then its texts (converted from the
// program's GB18030 to UTF-8), in one of two forms chosen by where the texts lie:
//  - a sheet whose texts lie within 65,536 rows and 256 columns (any .xls, any register):
//    line n is row n, its cells separated by tabs, up to the row's last cell with text;
//    the lines end with the last row that has a text;
//  - any other sheet (a .xlsx with a text far out): the line "cells:" and then one line
//    per cell with text, its reference and its text separated by a tab ("XFD1048576\tx"),
//    so that a lone cell at the sheet's far corner costs one line, not billions of tabs.
// Either way the output grows with the texts, not with the used range, whose formatted
// empty cells are only counted. A tab, line break or backslash inside a cell is written
// as \t, \n, \r or \\ so that each row stays on its line. A file that cannot be read gets
// a message on stderr and exit 1.
#include "exchange/read_workbook.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

// The largest sheet a .xls holds.
constexpr int kGridRows = 65536;
constexpr int kGridColumns = 256;

std::string Escaped(std::string_view utf8) {
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

std::string ColumnName(int column) {
    std::string name;
    for (; column > 0; column = (column - 1) / 26) {
        name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    }
    return name;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintGrid(const quillon::Workbook& book) {
    std::string out;
    int row = 1;    // the row whose out is being filled
    int column = 1; // the column the out has reached
    bool any = false;
    book.ForEachText([&](int r, int c, std::string_view text) {
        any = true;
        if (r > row) {
            out.append(static_cast<std::size_t>(r - row), '\n');
            row = r;
            column = 1;
        }
        out.append(static_cast<std::size_t>(c - column), '\t');
        column = c;
        out += Escaped(Gb18030ToUtf8(std::string(text)));
        if (out.size() >= 1 << 16) {
            Print(out);
            out.clear();
        }
    });
    if (any) {
        out += '\n';
    }
    Print(out);
}

void PrintCells(const quillon::Workbook& book) {
    std::string out = "cells:\n";
    book.ForEachText([&](int row, int column, std::string_view text) {
        out += ColumnName(column) + std::to_string(row) + '\t' +
               Escaped(Gb18030ToUtf8(std::string(text))) + '\n';
        if (out.size() >= 1 << 16) {
            Print(out);
            out.clear();
        }
    });
    Print(out);
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
    int lastRow = 0;
    int lastColumn = 0;
    book.ForEachText([&](int row, int column, std::string_view) {
        lastRow = row;
        lastColumn = std::max(lastColumn, column);
    });
    if (lastRow <= kGridRows && lastColumn <= kGridColumns) {
        PrintGrid(book);
    } else {
        PrintCells(book);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
