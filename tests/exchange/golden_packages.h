#pragma once

#include "exchange/package/zip_archive.h"

#include <string>

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
