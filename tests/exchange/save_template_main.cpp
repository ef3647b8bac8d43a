// Saves the spreadsheet template to the path given, so that tests can read
// what the program writes with tools of their own.
#include "exchange/template.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xls\n", argv[0]);
        return 2;
    }
    return quillon::SaveSpreadsheetTemplate(argv[1]) ? 0 : 1;
}
