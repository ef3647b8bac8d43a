// What the spreadsheet export benchmarks share: wall times of commands, the fastest and the
// middle of a few runs, and the rows the export writes dumped as CSV for the peer scripts.
#pragma once

#include "platform/text.h"
#include "store/database.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

inline double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Wall time of a shell command in seconds, or a negative figure when it failed.
inline double TimeCommand(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = Seconds(start);
    return status == 0 ? seconds : -1;
}

struct Figures {
    double min = -1;
    double median = -1;
};

// The fastest and the middle of the runs, or negative figures when any run failed.
inline Figures Summary(std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    if (seconds.empty() || seconds.front() <= 0) {
        return {};
    }
    return {seconds.front(), seconds[seconds.size() / 2]};
}

inline std::string CsvField(const std::string& gb18030) {
    std::string quoted = "\"";
    for (const char c : Gb18030ToUtf8(gb18030)) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// The rows the export writes, in its column order, as UTF-8 CSV.
inline bool DumpRows(const std::filesystem::path& db, const std::filesystem::path& csv) {
    StoreResult<Connection> connection = Connection::Open(db);
    if (!connection) {
        return false;
    }
    std::ofstream out(csv, std::ios::binary);
    connection.value().Query("select User_Name, User_Sex, User_Birthday, User_Education, "
                             "Recode_Type, Province, City, County_Seat, Organization_Detial, "
                             "Mobile_NO from t_address_book",
                             [&](const std::vector<std::string>& row) {
                                 for (std::size_t i = 0; i < row.size(); ++i) {
                                     out << (i ? "," : "") << CsvField(row[i]);
                                 }
                                 out << "\n";
                             });
    return static_cast<bool>(out);
}
