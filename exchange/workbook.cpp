#include "exchange/workbook.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace quillon {

const char* WorkbookErrorName(WorkbookError error) {
    switch (error) {
    case WorkbookError::None:
        return "no error";
    case WorkbookError::NotFound:
        return "no such file";
    case WorkbookError::Unreadable:
        return "cannot be read";
    case WorkbookError::TooLarge:
        return "too large";
    case WorkbookError::Empty:
        return "empty";
    case WorkbookError::NotAWorkbook:
        return "not a workbook";
    case WorkbookError::Encrypted:
        return "encrypted";
    case WorkbookError::Unsupported:
        return "unsupported format";
    case WorkbookError::Damaged:
        return "damaged";
    case WorkbookError::Truncated:
        return "truncated";
    }
    return "unknown error";
}

std::string_view Workbook::CellText(int row, int column) const {
    const auto c = std::lower_bound(cells_.begin(), cells_.end(), 0, [&](const Cell& cell, int) {
        return cell.Before(row, column);
    });
    if (c == cells_.end() || c->row != row || c->column != column) {
        return {};
    }
    return Text(c->text);
}

std::uint32_t Workbook::AddText(std::string_view text) {
    textBytes_ += text;
    textEnds_.push_back(static_cast<std::uint32_t>(textBytes_.size()));
    return static_cast<std::uint32_t>(textEnds_.size() - 1);
}

void Workbook::NoteUsed(int row, int column) {
    usedRows_ = std::max(usedRows_, row);
    usedColumns_ = std::max(usedColumns_, column);
}

void Workbook::SetCell(int row, int column, std::uint32_t text) {
    NoteUsed(row, column);
    if (!cells_.empty() && !cells_.back().Before(row, column)) {
        sorted_ = false;
    }
    cells_.push_back(Cell{row, column, text});
}

void Workbook::Finish() {
    if (sorted_) {
        return;
    }
    std::stable_sort(cells_.begin(), cells_.end(),
                     [](const Cell& a, const Cell& b) { return a.Before(b.row, b.column); });
    // Of cells set twice the last one stands, as when a spreadsheet reads such a file.
    std::size_t kept = 0;
    for (const Cell& cell : cells_) {
        if (kept > 0 && cells_[kept - 1].row == cell.row &&
            cells_[kept - 1].column == cell.column) {
            cells_[kept - 1] = cell;
        } else {
            cells_[kept++] = cell;
        }
    }
    cells_.resize(kept);
    sorted_ = true;
}

std::string NumberText(double value) {
    if (std::isnan(value) || std::isinf(value)) {
        return "#NUM!";
    }
    if (value == 0) {
        return "0"; // also -0
    }
    // Whole numbers are written out in full: a mobile number stored as a number must read
    // as its eleven digits, never as 1.3588888888E10. Past 1e21 the digits mean nothing.
    if (value == std::trunc(value) && std::fabs(value) < 1e21) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        return buffer;
    }
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("#NUM!");
}

namespace {

std::string TwoDigits(long long v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

std::string TimeText(long long seconds) {
    return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
           TwoDigits(seconds % 60);
}

std::string CivilText(std::chrono::year_month_day ymd) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buffer;
}

} // namespace

std::string DateText(double serial, bool system1904) {
    using namespace std::chrono;
    // Serials of 1900-01-01 (or 1904-01-01) up to 9999-12-31, the range spreadsheets show.
    const double last = system1904 ? 2957003 : 2958465;
    if (!(serial >= 0) || serial >= last + 1) {
        return NumberText(serial);
    }
    long long day = static_cast<long long>(std::floor(serial));
    long long seconds = std::llround((serial - static_cast<double>(day)) * 86400.0);
    if (seconds >= 86400) {
        ++day;
        seconds = 0;
    }
    const std::string time = seconds == 0 ? std::string() : " " + TimeText(seconds);
    if (system1904) {
        return CivilText(year_month_day{sys_days{1904y / 1 / 1} + days{day}}) + time;
    }
    if (day == 0) {
        return TimeText(seconds); // a time of day without a date
    }
    // The 1900 system counts a 29 February 1900 that never was, as serial 60; serials
    // before it are one day later than a plain count from 1899-12-30 gives.
    if (day == 60) {
        return "1900-02-29" + time;
    }
    const sys_days base = day < 60 ? sys_days{1899y / 12 / 31} : sys_days{1899y / 12 / 30};
    return CivilText(year_month_day{base + days{day}}) + time;
}

bool IsDateFormatCode(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        switch (c) {
        case '"': {
            const std::size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            i = close;
            continue;
        }
        case '\\':
        case '_':
        case '*':
            ++i; // the next character is shown (or padded with) as it is
            continue;
        case '[': {
            const std::size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            // [h], [mm], [ss]: elapsed time. Anything else ([Red], [$-804], [>100]) says
            // nothing about dates.
            const std::string_view inside = code.substr(i + 1, close - i - 1);
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos) {
                return true;
            }
            i = close;
            continue;
        }
        default:
            break;
        }
        switch (c | 0x20) {
        case 'y':
        case 'm':
        case 'd':
        case 'h':
        case 's':
            return true;
        default:
            break;
        }
    }
    return false;
}

bool IsBuiltInDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

} // namespace quillon
