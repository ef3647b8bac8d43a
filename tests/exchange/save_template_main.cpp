// Saves the spreadsheet template to the path given, so that tests can read
// what the program writes with tools of their own. A path ending in .xlsx gets the .xlsx.
#include "exchange/template.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xls|OUTPUT.xlsx\n", argv[0]);
        return 2;
    }
    const quillon::WorkbookFormat format =
        quillon::WorkbookFormatOfName(argv[1], quillon::WorkbookFormat::Xls);
    return quillon::SaveSpreadsheetTemplate(argv[1], format) ? 0 : 1;
}
