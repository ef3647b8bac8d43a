#pragma once

#include "exchange/zip/zip_writer.h"
#include "platform/text.h"
#include "store/contact_store.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The fixed export that tests/data/golden holds: 25 records in packages of 10, under this
// password, archived at this time. make_golden_packages writes it; the golden test checks
// that the reader finds these records in those files and the writer makes the same bytes.
inline constexpr int kGoldenPerPackage = 10;
inline constexpr char kGoldenPassword[] = "quillon2026";
inline constexpr char kGoldenTarget[] = "golden";
inline constexpr ZipTime kGoldenTime{2026, 1, 15, 9, 30, 0};
inline constexpr char kGoldenCsv[] = "golden_records.csv";
// Deflate's output is only fixed for one zlib; the bytes are compared under this one.
inline constexpr char kGoldenZlibFile[] = "zlib_version.txt";

// The golden records, in the order they were exported.
inline std::vector<ContactRecord> GoldenRecords(const std::filesystem::path& csvFile) {
    std::ifstream csv(csvFile, std::ios::binary);
    std::string line;
    std::getline(csv, line); // the column names
    std::vector<ContactRecord> records;
    while (std::getline(csv, line)) {
        ContactRecord r;
        std::size_t field = 0, start = 0;
        for (std::size_t comma;
             (comma = line.find(',', start)) != std::string::npos && field + 1 < r.size();
             start = comma + 1) {
            r[field++] = Utf8ToGb18030(line.substr(start, comma - start));
        }
        r[field] = Utf8ToGb18030(line.substr(start));
        records.push_back(r);
    }
    return records;
}
