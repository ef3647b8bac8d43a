// Fills a workbook made from the template with ROWS rows of texts that check_export.py
// knows how to expect, so that independent readers can check what the writer makes.
// OUTPUT ending in .xlsx is written by the .xlsx writer.
#include "exchange/spreadsheet.h"
#include "exchange/template.h"
#include "exchange/xlsx/writer.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Kept in step with expected_text() in check_export.py.
std::string Text(int row, int column) {
    switch (column) {
    case 1:
        return "张" + std::to_string(row);
    case 3:
        return row % 5 == 0 ? "" : "1980-01-" + std::to_string(10 + row % 20);
    case 9: {
        std::string text;
        for (int i = 0; i < row % 400; ++i) {
            text += "单位";
        }
        return text;
    }
    case 10:
        return std::to_string(13500000000LL + row);
    default:
        return row % 7 == 0 ? "'); drop table t_address_book; --"
                            : "r" + std::to_string(row) + "c" + std::to_string(column);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.xls ROWS\n", argv[0]);
        return 2;
    }
    const int rows = std::atoi(argv[2]);
    const std::string output = argv[1];
    if (quillon::WorkbookFormatOfName(output, quillon::WorkbookFormat::Xls) ==
        quillon::WorkbookFormat::Xlsx) {
        quillon::xlsx::TemplateWorkbook book(output);
        for (int r = 0; r < rows && book.Status(); ++r) {
            std::string cells[10];
            for (int c = 1; c <= 10; ++c) {
                cells[c - 1] = Utf8ToGb18030(Text(r, c));
            }
            if (const quillon::xlsx::WriteResult added = book.AddRowGb18030(cells); !added) {
                std::fprintf(stderr, "row %d refused: %s\n", 4 + r, added.detail.c_str());
                return 1;
            }
        }
        const quillon::xlsx::WriteResult saved = book.Status() ? book.Save() : book.Status();
        if (!saved) {
            std::fprintf(stderr, "%s\n", saved.detail.c_str());
            return 1;
        }
        return 0;
    }
    quillon::Spreadsheet sheet = quillon::Spreadsheet::FromTemplate();
    for (int r = 0; r < rows; ++r) {
        for (int c = 1; c <= 10; ++c) {
            if (sheet.SetCellValue(4 + r, c, Utf8ToGb18030(Text(r, c))) !=
                quillon::xls::SheetWriteError::None) {
                std::fprintf(stderr, "cell %d,%d refused\n", 4 + r, c);
                return 1;
            }
        }
    }
    const quillon::SaveResult saved = sheet.SaveAs(argv[1]);
    if (!saved) {
        std::fprintf(stderr, "%s\n", saved.detail.c_str());
        return 1;
    }
    return 0;
}
