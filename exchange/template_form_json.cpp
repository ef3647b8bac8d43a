// Prints the form of template_form.h as JSON, for tools/make_template.pl, which builds the
// .xls the program carries from it:
//
//     template_form_json > form.json && perl tools/make_template.pl form.json data/template.xls
#include "exchange/template_form.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

using namespace quillon::form;

// The .xls sheet's last row, where a rule runs to the sheet's end.
constexpr int kXlsLastRow = 65535;

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string RangeJson(const Range& r) {
    const int lastRow = r.lastRow == kToSheetEnd ? kXlsLastRow : r.lastRow;
    return "[" + std::to_string(r.firstRow) + "," + std::to_string(r.firstColumn) + "," +
           std::to_string(lastRow) + "," + std::to_string(r.lastColumn) + "]";
}

const char* LookName(Look look) {
    switch (look) {
    case Look::Title:
        return "title";
    case Look::Header:
        return "header";
    case Look::HeaderSongti:
        return "header_songti";
    case Look::Example:
        return "example";
    case Look::ExampleDate:
        return "example_date";
    case Look::ExampleLeft:
        return "example_left";
    case Look::Instructions:
        return "instructions";
    }
    return "";
}

std::string Texts(std::span<const std::string_view> texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        out += (i ? "," : "") + Quoted(texts[i]);
    }
    return out + "]";
}

std::string Sheet(std::span<const Cell> cells, std::span<const Width> widths,
                  std::span<const RowHeight> heights, std::span<const ListRule> rules) {
    std::string out = "{\"cells\":[";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        out += std::string(i ? "," : "") + "{\"range\":" + RangeJson(cells[i].range) +
               ",\"text\":" + Quoted(cells[i].text) + ",\"look\":\"" + LookName(cells[i].look) +
               "\"}";
    }
    out += "],\"widths\":[";
    for (std::size_t i = 0; i < widths.size(); ++i) {
        char width[64];
        std::snprintf(width, sizeof width, "%s[%d,%d,%.17g]", i ? "," : "", widths[i].firstColumn,
                      widths[i].lastColumn, widths[i].characters);
        out += width;
    }
    out += "],\"heights\":[";
    for (std::size_t i = 0; i < heights.size(); ++i) {
        char height[64];
        std::snprintf(height, sizeof height, "%s[%d,%.17g]", i ? "," : "", heights[i].row,
                      heights[i].points);
        out += height;
    }
    out += "],\"rules\":[";
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const ListRule& rule = rules[i];
        out += std::string(i ? "," : "") + "{\"cells\":[";
        for (std::size_t j = 0; j < rule.cells.size(); ++j) {
            out += (j ? "," : "") + RangeJson(rule.cells[j]);
        }
        out += "],\"list_column\":" + std::to_string(rule.listColumn) +
               ",\"fixed_list\":" + Texts(rule.fixedList) +
               ",\"error_title\":" + Quoted(rule.errorTitle) +
               ",\"error_message\":" + Quoted(rule.errorMessage) + "}";
    }
    return out + "]}";
}

} // namespace

int main() {
    std::string out = "{\"date_format\":" + Quoted(kDateFormat);
    out += ",\"default_font\":" + Quoted(kDefaultFont);
    out += ",\"default_font_points\":" + std::to_string(static_cast<int>(kDefaultFontPoints));
    out += ",\"default_row_points\":" + std::to_string(kDefaultRowPoints);
    out += ",\"sheet_names\":[" + Quoted(kDataSheetName) + "," + Quoted(kListsSheetName) + "," +
           Quoted(kNotesSheetName) + "]";
    out += ",\"birthday_column\":" + std::to_string(kBirthdayColumn);
    out += ",\"zoom\":" + std::to_string(kDataZoom);
    out += ",\"selected\":[" + std::to_string(kSelectedRow) + "," +
           std::to_string(kSelectedColumn) + "]";
    out += ",\"lists\":[";
    for (std::size_t i = 0; i < Lists().size(); ++i) {
        out += (i ? "," : "") + Texts(Lists()[i]);
    }
    out += "],\"list_rule_rows\":[";
    for (std::size_t i = 0; i < ListRuleRows().size(); ++i) {
        out += (i ? "," : "") + std::to_string(ListRuleRows()[i]);
    }
    out += "],\"data\":" +
           Sheet(DataSheetCells(), DataSheetWidths(), DataSheetHeights(), DataSheetRules());
    out += ",\"notes\":" +
           Sheet(NotesSheetCells(), NotesSheetWidths(), NotesSheetHeights(), NotesSheetRules());
    out += ",\"notes_number_cell\":" + RangeJson(kNotesNumberCell);
    out +=
        ",\"notes_number_maximum\":" + std::to_string(static_cast<long long>(kNotesNumberMaximum));
    out += "}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}
