#include "exchange/xlsx/reader.h"

#include "exchange/xlsx/zip_archive.h"
#include "platform/text.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace quillon::xlsx {

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// Element and attribute names without their namespace prefix: writers differ in which
// prefix, if any, they give the spreadsheet namespace.
std::string_view LocalName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon != nullptr ? std::string_view(colon + 1) : std::string_view(name);
}

pugi::xml_node Child(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child.name()) == name) {
            return child;
        }
    }
    return {};
}

const char* Attribute(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        if (LocalName(a.name()) == name) {
            return a.value();
        }
    }
    return nullptr;
}

pugi::xml_node Root(const pugi::xml_document& doc) {
    for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            return child;
        }
    }
    return {};
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Text escapes for characters XML cannot hold ("_x000D_" for a carriage return).
std::string DecodeEscapes(std::string text) {
    if (text.find("_x") == std::string::npos) {
        return text;
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned code = 0;
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
            std::from_chars(text.data() + i + 2, text.data() + i + 6, code, 16).ptr ==
                text.data() + i + 6) {
            std::u16string unit(1, static_cast<char16_t>(code));
            out += Utf16ToUtf8(unit);
            i += 6;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The text of a string item or inline string: its own <t>, or its runs' <t>s joined;
// phonetic guides (<rPh>) are not part of the value.
std::string StringItemText(pugi::xml_node item) {
    std::string text;
    for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
        const std::string_view name = LocalName(child.name());
        if (name == "t") {
            text += child.child_value();
        } else if (name == "r") {
            text += Child(child, "t").child_value();
        }
    }
    return Utf8ToGbk(DecodeEscapes(std::move(text)));
}

// Resolves a relationship target against the folder of the part that names it.
std::string ResolveTarget(std::string_view fromFolder, std::string_view target) {
    std::string path = !target.empty() && target.front() == '/'
                           ? std::string(target.substr(1))
                           : std::string(fromFolder) + std::string(target);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string joined;
    for (const std::string& part : parts) {
        joined += (joined.empty() ? "" : "/") + part;
    }
    return joined;
}

std::string FolderOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

std::string RelsOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return FolderOf(part) + "_rels/" + std::string(file) + ".rels";
}

struct Relationship {
    std::string type;
    std::string target; // resolved to a part name
};

// "AB12" to column 28 and row 12; false for anything else or beyond the sheet's limits.
bool ParseCellReference(std::string_view ref, int& row, int& column) {
    std::size_t i = 0;
    long long c = 0;
    while (i < ref.size() &&
           ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        c = c * 26 + ((ref[i] | 0x20) - 'a' + 1);
        if (c > Workbook::kMaxColumns) {
            return false;
        }
        ++i;
    }
    long long r = 0;
    const std::size_t digits = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + (ref[i] - '0');
        if (r > Workbook::kMaxRows) {
            return false;
        }
        ++i;
    }
    if (i != ref.size() || digits == 0 || i == digits || c == 0 || r == 0) {
        return false;
    }
    row = static_cast<int>(r);
    column = static_cast<int>(c);
    return true;
}

bool ParseNumber(const char* text, double& value) {
    const char* end = text + std::strlen(text);
    while (text < end && *text == ' ') {
        ++text;
    }
    if (text < end && *text == '+') {
        ++text;
    }
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && ptr != text;
}

// An ISO 8601 date cell ("2024-03-01T08:30:00") in the program's form.
std::string IsoDateText(std::string text) {
    const std::size_t t = text.find('T');
    if (t != std::string::npos) {
        text[t] = ' ';
    }
    const std::size_t fraction = text.find('.');
    if (fraction != std::string::npos) {
        text.resize(fraction);
    }
    if (text.size() == 19 && text.compare(10, 9, " 00:00:00") == 0) {
        text.resize(10);
    }
    return text;
}

class Reader {
public:
    Reader(ByteSpan file, const Limits& limits) : zip_(file), limits_(limits) {}

    WorkbookResult Read() {
        if (!zip_.IsOpen()) {
            return WorkbookResult::Fail(WorkbookError::NotAWorkbook,
                                        "a zip archive whose directory cannot be read");
        }
        std::string sheetPart;
        if (!ReadWorkbookPart(sheetPart) || !ReadSharedStrings() || !ReadStyles() ||
            !ReadSheet(sheetPart)) {
            return WorkbookResult::Fail(error_, detail_);
        }
        book_.Finish();
        WorkbookResult result;
        result.workbook = std::move(book_);
        return result;
    }

private:
    bool Refuse(WorkbookError error, std::string detail) {
        if (error_ == WorkbookError::None) {
            error_ = error;
            detail_ = std::move(detail);
        }
        return false;
    }

    // Loads a part; a missing part is not an error here (optional gives the caller the
    // say), any other failure is.
    bool Load(const std::string& part, pugi::xml_document& doc, std::string& buffer, bool& found) {
        ZipEntryResult entry = zip_.Read(part, limits_.maxPartBytes);
        found = entry.error != ZipError::NoSuchEntry;
        switch (entry.error) {
        case ZipError::None:
            break;
        case ZipError::NoSuchEntry:
            return true;
        case ZipError::Encrypted:
            return Refuse(WorkbookError::Encrypted, entry.detail);
        case ZipError::TooLarge:
            return Refuse(WorkbookError::TooLarge, entry.detail);
        default:
            return Refuse(WorkbookError::Damaged, entry.detail);
        }
        buffer = std::move(entry.bytes);
        const pugi::xml_parse_result parsed =
            doc.load_buffer_inplace(buffer.data(), buffer.size(), kParseOptions);
        if (!parsed) {
            return Refuse(WorkbookError::Damaged, "\"" + part + "\" is not well-formed XML (" +
                                                      parsed.description() + " at byte " +
                                                      std::to_string(parsed.offset) + ")");
        }
        return true;
    }

    std::vector<std::pair<std::string, Relationship>> Relationships(const std::string& part) {
        std::vector<std::pair<std::string, Relationship>> out;
        pugi::xml_document doc;
        std::string buffer;
        bool found = false;
        if (!Load(RelsOf(part), doc, buffer, found) || !found) {
            return out;
        }
        const std::string folder = FolderOf(part);
        for (pugi::xml_node r = Root(doc).first_child(); r; r = r.next_sibling()) {
            const char* id = Attribute(r, "Id");
            const char* target = Attribute(r, "Target");
            const char* mode = Attribute(r, "TargetMode");
            if (id == nullptr || target == nullptr ||
                (mode != nullptr && std::string_view(mode) == "External")) {
                continue;
            }
            const char* type = Attribute(r, "Type");
            out.emplace_back(
                id, Relationship{type != nullptr ? type : "", ResolveTarget(folder, target)});
        }
        return out;
    }

    bool ReadWorkbookPart(std::string& sheetPart) {
        workbookPart_ = "xl/workbook.xml";
        for (const auto& [id, rel] : Relationships("")) {
            if (EndsWith(rel.type, "/officeDocument")) {
                workbookPart_ = rel.target;
                break;
            }
        }
        pugi::xml_document doc;
        std::string buffer;
        bool found = false;
        if (!Load(workbookPart_, doc, buffer, found)) {
            return false;
        }
        if (!found) {
            return Refuse(WorkbookError::NotAWorkbook, "a zip archive that holds no workbook");
        }
        const pugi::xml_node workbook = Root(doc);
        const char* date1904 = Attribute(Child(workbook, "workbookPr"), "date1904");
        system1904_ = date1904 != nullptr &&
                      (std::string_view(date1904) == "1" || std::string_view(date1904) == "true");

        const auto rels = Relationships(workbookPart_);
        for (const auto& [id, rel] : rels) {
            if (EndsWith(rel.type, "/sharedStrings")) {
                sharedStringsPart_ = rel.target;
            } else if (EndsWith(rel.type, "/styles")) {
                stylesPart_ = rel.target;
            }
        }
        for (pugi::xml_node sheet = Child(Child(workbook, "sheets"), "sheet"); sheet;
             sheet = sheet.next_sibling()) {
            if (LocalName(sheet.name()) != "sheet") {
                continue;
            }
            const char* id = Attribute(sheet, "id");
            for (const auto& [relId, rel] : rels) {
                if (id != nullptr && relId == id && EndsWith(rel.type, "/worksheet")) {
                    const char* name = Attribute(sheet, "name");
                    book_.SetSheetName(Utf8ToGbk(name != nullptr ? name : ""));
                    sheetPart = rel.target;
                    return true;
                }
            }
        }
        return Refuse(WorkbookError::Empty, "the workbook holds no worksheet");
    }

    bool ReadSharedStrings() {
        pugi::xml_document doc;
        std::string buffer;
        bool found = false;
        if (!Load(sharedStringsPart_, doc, buffer, found)) {
            return false;
        }
        for (pugi::xml_node si = Root(doc).first_child(); si; si = si.next_sibling()) {
            if (LocalName(si.name()) == "si") {
                sharedStrings_.push_back(book_.AddText(StringItemText(si)));
            }
        }
        return true;
    }

    bool ReadStyles() {
        pugi::xml_document doc;
        std::string buffer;
        bool found = false;
        if (!Load(stylesPart_, doc, buffer, found) || !found) {
            return error_ == WorkbookError::None;
        }
        const pugi::xml_node styles = Root(doc);
        std::unordered_map<int, bool> custom;
        for (pugi::xml_node f = Child(Child(styles, "numFmts"), "numFmt"); f;
             f = f.next_sibling()) {
            const char* id = Attribute(f, "numFmtId");
            const char* code = Attribute(f, "formatCode");
            if (id != nullptr && code != nullptr) {
                custom[std::atoi(id)] = IsDateFormatCode(code);
            }
        }
        for (pugi::xml_node xf = Child(Child(styles, "cellXfs"), "xf"); xf;
             xf = xf.next_sibling()) {
            if (LocalName(xf.name()) != "xf") {
                continue;
            }
            const char* id = Attribute(xf, "numFmtId");
            const int format = id != nullptr ? std::atoi(id) : 0;
            const auto found = custom.find(format);
            xfIsDate_.push_back(found != custom.end() ? found->second
                                                      : IsBuiltInDateFormat(format));
        }
        return true;
    }

    bool IsDateStyle(const char* style) const {
        if (style == nullptr) {
            return false;
        }
        const int index = std::atoi(style);
        return index >= 0 && static_cast<std::size_t>(index) < xfIsDate_.size() && xfIsDate_[index];
    }

    // The sheet's <dimension> is not read: it is optional, often stale, and a claimed
    // A1:XFD1048576 would have the import walk seventeen billion empty cells. The used
    // range is that of the cells present, formatted empty ones included.
    bool ReadSheet(const std::string& part) {
        pugi::xml_document doc;
        std::string buffer;
        bool found = false;
        if (!Load(part, doc, buffer, found)) {
            return false;
        }
        if (!found) {
            return Refuse(WorkbookError::Damaged,
                          "the first worksheet \"" + part + "\" is missing");
        }
        int rowNumber = 0;
        for (pugi::xml_node row = Child(Child(Root(doc), "sheetData"), "row"); row;
             row = row.next_sibling()) {
            if (LocalName(row.name()) != "row") {
                continue;
            }
            const char* r = Attribute(row, "r");
            rowNumber = r != nullptr ? std::atoi(r) : rowNumber + 1;
            if (rowNumber < 1 || rowNumber > Workbook::kMaxRows) {
                return Refuse(WorkbookError::Damaged, "a row numbered " + std::string(r ? r : "") +
                                                          " lies outside the sheet");
            }
            if (!ReadRow(row, rowNumber)) {
                return false;
            }
        }
        return true;
    }

    bool ReadRow(pugi::xml_node row, int rowNumber) {
        int column = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || LocalName(c.name()) != "c") {
                continue;
            }
            int cellRow = rowNumber;
            const char* ref = Attribute(c, "r");
            if (ref != nullptr) {
                if (!ParseCellReference(ref, cellRow, column)) {
                    return Refuse(WorkbookError::Damaged,
                                  "a cell reference \"" + std::string(ref) + "\" is not a cell");
                }
            } else if (++column > Workbook::kMaxColumns) {
                return Refuse(WorkbookError::Damaged, "a row runs past the last column");
            }
            if (!ReadCell(c, cellRow, column)) {
                return false;
            }
        }
        return true;
    }

    bool ReadCell(pugi::xml_node c, int row, int column) {
        const char* typeAttribute = Attribute(c, "t");
        const std::string_view type = typeAttribute != nullptr ? typeAttribute : "n";
        if (type == "inlineStr") {
            book_.SetCellText(row, column, StringItemText(Child(c, "is")));
            return true;
        }
        const pugi::xml_node v = Child(c, "v");
        if (!v) {
            book_.NoteUsed(row, column); // formatted, but empty
            return true;
        }
        const char* value = v.child_value();
        if (type == "s") {
            const long index = std::atol(value);
            if (index < 0 || static_cast<std::size_t>(index) >= sharedStrings_.size()) {
                return Refuse(WorkbookError::Damaged, "a cell names shared string " +
                                                          std::string(value) + " of " +
                                                          std::to_string(sharedStrings_.size()));
            }
            book_.SetCell(row, column, sharedStrings_[static_cast<std::size_t>(index)]);
        } else if (type == "b") {
            book_.SetCellText(row, column, std::string_view(value) == "1" ? "TRUE" : "FALSE");
        } else if (type == "d") {
            book_.SetCellText(row, column, IsoDateText(value));
        } else if (type == "e" || type == "str") {
            book_.SetCellText(row, column, Utf8ToGbk(DecodeEscapes(value)));
        } else {
            double number = 0;
            if (!ParseNumber(value, number)) {
                // Not a number after all; its text is what the writer meant.
                book_.SetCellText(row, column, Utf8ToGbk(value));
            } else {
                book_.SetCellText(row, column,
                                  IsDateStyle(Attribute(c, "s")) ? DateText(number, system1904_)
                                                                 : NumberText(number));
            }
        }
        return true;
    }

    ZipArchive zip_;
    Limits limits_;
    Workbook book_;
    WorkbookError error_ = WorkbookError::None;
    std::string detail_;
    std::string workbookPart_;
    std::string sharedStringsPart_ = "xl/sharedStrings.xml";
    std::string stylesPart_ = "xl/styles.xml";
    bool system1904_ = false;
    std::vector<std::uint32_t> sharedStrings_;
    std::vector<bool> xfIsDate_;
};

} // namespace

WorkbookResult ReadXlsx(ByteSpan file, const Limits& limits) {
    return Reader(file, limits).Read();
}

} // namespace quillon::xlsx
