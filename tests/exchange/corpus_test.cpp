// Every workbook of the shared real-world corpus, damaged ones included: each is read
// within two seconds, and gives either its first sheet or a reason.
#include "exchange/read_workbook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

TEST(WorkbookCorpus, EveryFileGivesCellsOrAReasonInTime) {
    const std::filesystem::path dir = QUILLON_WORKBOOK_CORPUS;
    if (!std::filesystem::is_directory(dir)) {
        GTEST_SKIP() << "no workbook corpus at " << dir
                     << " (set QUILLON_WORKBOOK_CORPUS to the folder of workbooks)";
    }
    int files = 0;
    int read = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        ++files;
        const auto start = std::chrono::steady_clock::now();
        const auto result = quillon::ReadWorkbookFile(entry.path());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed, std::chrono::seconds(2)) << entry.path();
        if (result) {
            ++read;
            // What the import does next: every cell of the used range.
            const auto& book = result.workbook;
            std::size_t bytes = 0;
            for (int row = 1; row <= book.UsedRows(); ++row) {
                for (int column = 1; column <= book.UsedColumns(); ++column) {
                    bytes += book.CellText(row, column).size();
                }
            }
            EXPECT_GE(bytes, 0u);
        } else {
            EXPECT_FALSE(result.detail.empty()) << entry.path();
        }
    }
    EXPECT_GT(files, 0);
    // Most of the corpus is sound; a reader that refuses much of it is broken.
    EXPECT_GT(read, files * 8 / 10) << read << " of " << files << " read";
    std::printf("%d of %d corpus workbooks read, the rest refused with a reason\n", read, files);
}

} // namespace
