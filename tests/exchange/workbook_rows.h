#pragma once

#include "exchange/read_workbook.h"
#include "exchange/spreadsheet.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using Row = std::vector<std::string>; // ten cells, UTF-8

// A workbook from the template with these rows from row 4 on.
inline std::filesystem::path MakeWorkbook(const std::filesystem::path& file,
                                          const std::vector<Row>& rows) {
    quillon::Spreadsheet sheet = quillon::Spreadsheet::FromTemplate();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            EXPECT_EQ(sheet.SetCellValue(4 + static_cast<int>(r), 1 + static_cast<int>(c),
                                         Utf8ToGb18030(rows[r][c])),
                      quillon::xls::SheetWriteError::None);
        }
    }
    std::filesystem::create_directories(file.parent_path());
    EXPECT_TRUE(sheet.SaveAs(file));
    return file;
}

inline Row Good(int i, const std::string& name = "张三") {
    return {name,     "男",       "1980-01-02", "大学",        "村",
            "河北省", "石家庄市", "长安区",     "某单位 书记", std::to_string(13500000000LL + i)};
}

inline std::vector<Row> RowsOf(const std::filesystem::path& file, int columns = 11) {
    quillon::WorkbookResult read = quillon::ReadWorkbookFile(file);
    EXPECT_TRUE(read) << file << ": " << read.detail;
    std::vector<Row> rows;
    for (int r = 4; r <= read.workbook.UsedRows(); ++r) {
        Row row;
        for (int c = 1; c <= columns; ++c) {
            row.push_back(Gb18030ToUtf8(std::string(read.workbook.CellText(r, c))));
        }
        rows.push_back(row);
    }
    return rows;
}
