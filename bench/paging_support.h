#pragma once

// Figures of the page-turn benchmarks: each timing as the least and the median of its runs,
// printed beside the reference it is judged by and the ratio of the medians.

#include "bench_support.h"
#include "store/contact_store.h"
#include "store/database.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A target of 0 is none: the line shows a cost for comparison only.
inline void PrintBeside(const std::string& what, Timing ours, const char* reference, Timing theirs,
                        double targetMs) {
    std::printf("%-58s %7.2f / %7.2f ms | %-30s %7.2f / %7.2f ms | ratio %6.2f", what.c_str(),
                ours.min, ours.median, reference, theirs.min, theirs.median,
                ours.median / theirs.median);
    if (targetMs > 0) {
        std::printf(" | target %3.0f ms %s", targetMs, ours.median <= targetMs ? "met" : "MISSED");
    }
    std::printf("\n");
}

// The floor of a page turn: the page's own query alone, from the nearer end, on a connection
// already open.
inline Timing PageQueryFloor(const std::filesystem::path& db, int page, int total,
                             const std::string& area) {
    const StoreResult<Connection> open = Connection::Open(db);
    const std::string sql = SelectContactPageStatement(page, total, area);
    return TimeRuns(
        3, [] {}, [&] { open.value().Query(sql, [](const std::vector<std::string>&) {}); });
}
