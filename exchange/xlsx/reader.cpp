#include "exchange/xlsx/reader.h"

#include "exchange/zip/zip_reader.h"
#include "platform/text.h"

#include <expat.h>
#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
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

// A whole number from 0 to max written in digits alone, as an index or a row number in a
// part is; nothing for any other text, so that no number wraps round into another.
std::optional<int> ParseIndex(const char* text, int max) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const char* end = text + std::strlen(text);
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || ptr == text || value < 0 || value > max) {
        return std::nullopt;
    }
    return value;
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

// The events of a part streamed through expat, for the handlers below.
class SaxHandler {
public:
    virtual ~SaxHandler() = default;
    virtual void Start(std::string_view name, const char** attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(const char* data, int size) = 0;

    // Stops the parse; the reader reports the reason.
    void Fail(std::string why, WorkbookError kind = WorkbookError::Damaged) {
        if (failure.empty()) {
            failure = std::move(why);
            failureKind = kind;
        }
        XML_StopParser(parser, XML_FALSE);
    }

    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<SaxHandler*>(self)->Start(LocalName(name), attributes);
    }
    static void XMLCALL OnEnd(void* self, const XML_Char* name) {
        static_cast<SaxHandler*>(self)->End(LocalName(name));
    }
    static void XMLCALL OnText(void* self, const XML_Char* data, int size) {
        static_cast<SaxHandler*>(self)->Text(data, size);
    }

    void FailTooLarge() {
        Fail("more cells or text than a sheet is taken with", WorkbookError::TooLarge);
    }

    XML_Parser parser = nullptr;
    std::string failure;
    WorkbookError failureKind = WorkbookError::Damaged;
};

const char* SaxAttribute(const char** attributes, std::string_view name) {
    for (int i = 0; attributes[i] != nullptr; i += 2) {
        if (LocalName(attributes[i]) == name) {
            return attributes[i + 1];
        }
    }
    return nullptr;
}

// <sst><si><t>text</t></si><si><r><t>rich </t></r><r><t>text</t></r><rPh>..</rPh></si></sst>
class SharedStringsHandler : public SaxHandler {
public:
    SharedStringsHandler(Workbook& book, std::size_t maxTextBytes)
        : book_(book), maxTextBytes_(maxTextBytes) {}

    std::size_t Count() const { return count_; }

    void Start(std::string_view name, const char**) override {
        if (name == "si") {
            inItem_ = true;
            text_.clear();
        } else if (name == "rPh") {
            ++phonetic_; // a reading guide, not part of the value
        } else if (name == "t" && inItem_ && phonetic_ == 0) {
            collecting_ = true;
        }
    }
    void End(std::string_view name) override {
        if (name == "t") {
            collecting_ = false;
        } else if (name == "rPh" && phonetic_ > 0) {
            --phonetic_;
        } else if (name == "si" && inItem_) {
            if (count_ == Workbook::kMaxSharedStrings) {
                Fail("more than " + std::to_string(Workbook::kMaxSharedStrings) + " shared strings",
                     WorkbookError::TooLarge);
                return;
            }
            book_.AddText(text_.empty() ? std::string()
                                        : Utf8ToGb18030(DecodeEscapes(std::move(text_))));
            if (book_.TextBytes() > maxTextBytes_) {
                FailTooLarge();
                return;
            }
            ++count_;
            text_.clear();
            inItem_ = false;
        }
    }
    void Text(const char* data, int size) override {
        if (collecting_) {
            text_.append(data, static_cast<std::size_t>(size));
            if (text_.size() > maxTextBytes_) {
                FailTooLarge();
            }
        }
    }

private:
    Workbook& book_;
    std::size_t maxTextBytes_;
    std::size_t count_ = 0;
    std::string text_;
    bool inItem_ = false;
    bool collecting_ = false;
    int phonetic_ = 0;
};

class Reader;

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

    // An archive entry that cannot be had, as the reason the workbook cannot be read.
    bool RefuseEntry(const ZipResult& entry) {
        switch (entry.error) {
        case ZipError::Encrypted:
            return Refuse(WorkbookError::Encrypted, entry.detail);
        case ZipError::TooLarge:
            return Refuse(WorkbookError::TooLarge, entry.detail);
        default:
            return Refuse(WorkbookError::Damaged, entry.detail);
        }
    }

    // Loads a part; a missing part is not an error here (optional gives the caller the
    // say), any other failure is.
    bool Load(const std::string& part, pugi::xml_document& doc, std::string& buffer, bool& found) {
        ZipResult entry = zip_.Read(part, limits_.maxTreePartBytes, buffer);
        found = entry.error != ZipError::NoSuchEntry;
        if (entry.error == ZipError::NoSuchEntry) {
            return true;
        }
        if (!entry) {
            return RefuseEntry(entry);
        }
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
        // Looked up by id: a workbook of many sheets and relationships would otherwise
        // compare each sheet with every relationship.
        std::unordered_map<std::string_view, const Relationship*> worksheets;
        for (const auto& [id, rel] : rels) {
            if (EndsWith(rel.type, "/worksheet")) {
                worksheets.emplace(id, &rel); // of two with one id, the first stands
            }
        }
        for (pugi::xml_node sheet = Child(Child(workbook, "sheets"), "sheet"); sheet;
             sheet = sheet.next_sibling()) {
            if (LocalName(sheet.name()) != "sheet") {
                continue;
            }
            const char* id = Attribute(sheet, "id");
            const auto rel = id != nullptr ? worksheets.find(id) : worksheets.end();
            if (rel != worksheets.end()) {
                const char* name = Attribute(sheet, "name");
                book_.SetSheetName(Utf8ToGb18030(name != nullptr ? name : ""));
                sheetPart = rel->second->target;
                return true;
            }
        }
        return Refuse(WorkbookError::Empty, "the workbook holds no worksheet");
    }

    // The shared strings and the sheet are the large parts: they are parsed as they
    // inflate, without building a tree of them.
    // They take the workbook's texts from sharedFirst_ on, in their order.
    bool ReadSharedStrings() {
        sharedFirst_ = static_cast<std::uint32_t>(book_.TextCount());
        SharedStringsHandler handler(book_, limits_.maxTextBytes);
        bool found = false;
        const bool read = StreamPart(sharedStringsPart_, handler, found);
        sharedCount_ = handler.Count();
        return read;
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
            const std::optional<int> id = ParseIndex(Attribute(f, "numFmtId"), kMaxIndex);
            const char* code = Attribute(f, "formatCode");
            if (id && code != nullptr) {
                custom[*id] = IsDateFormatCode(code);
            }
        }
        for (pugi::xml_node xf = Child(Child(styles, "cellXfs"), "xf"); xf;
             xf = xf.next_sibling()) {
            if (LocalName(xf.name()) != "xf") {
                continue;
            }
            // A format that cannot be read is the general one, which shows no date.
            const int format = ParseIndex(Attribute(xf, "numFmtId"), kMaxIndex).value_or(0);
            const auto found = custom.find(format);
            xfIsDate_.push_back(found != custom.end() ? found->second
                                                      : IsBuiltInDateFormat(format));
        }
        return true;
    }

    // A style that names none shows its number as a number.
    bool IsDateStyle(const char* style) const {
        const std::optional<int> index = ParseIndex(style, kMaxIndex);
        return index && static_cast<std::size_t>(*index) < xfIsDate_.size() && xfIsDate_[*index];
    }

    static constexpr int kMaxIndex = std::numeric_limits<int>::max();

    // The sheet's <dimension> is not read: it is optional, often stale, and a claimed
    // A1:XFD1048576 would have the import walk seventeen billion empty cells. The used
    // range is that of the cells present, formatted empty ones included.
    bool ReadSheet(const std::string& part);
    bool ReadSheetWith(const std::string& part, SaxHandler& handler) {
        bool found = false;
        if (!StreamPart(part, handler, found)) {
            return false;
        }
        if (!found) {
            return Refuse(WorkbookError::Damaged,
                          "the first worksheet \"" + part + "\" is missing");
        }
        return true;
    }

    bool StreamPart(const std::string& part, SaxHandler& handler, bool& found) {
        std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
            XML_ParserCreate(nullptr), &XML_ParserFree);
        if (!parser) {
            return Refuse(WorkbookError::TooLarge, "no memory for an XML parser");
        }
        handler.parser = parser.get();
        XML_SetUserData(parser.get(), &handler);
        XML_SetElementHandler(parser.get(), &SaxHandler::OnStart, &SaxHandler::OnEnd);
        XML_SetCharacterDataHandler(parser.get(), &SaxHandler::OnText);
        bool xmlFailed = false;
        const auto parse = [&](std::string_view chunk) {
            if (XML_Parse(parser.get(), chunk.data(), static_cast<int>(chunk.size()), XML_FALSE) !=
                XML_STATUS_OK) {
                xmlFailed = true;
                return false;
            }
            return true;
        };
        ZipResult entry = zip_.Find(part);
        if (entry) {
            entry = zip_.Inflate(limits_.StreamedPartLimit(zip_.Current().compressedSize), parse);
        }
        found = entry.error != ZipError::NoSuchEntry;
        if (entry.error == ZipError::NoSuchEntry) {
            return true;
        }
        if (!entry) {
            return RefuseEntry(entry);
        }
        if (!xmlFailed && XML_Parse(parser.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
            xmlFailed = true;
        }
        if (!handler.failure.empty()) {
            return Refuse(handler.failureKind, "\"" + part + "\": " + handler.failure);
        }
        if (xmlFailed) {
            return Refuse(WorkbookError::Damaged,
                          "\"" + part + "\" is not well-formed XML (" +
                              XML_ErrorString(XML_GetErrorCode(parser.get())) + " at line " +
                              std::to_string(XML_GetCurrentLineNumber(parser.get())) + ")");
        }
        return true;
    }

    friend class SheetHandler;

    bool OverLimits() const {
        return book_.CellCount() > limits_.maxCells || book_.TextBytes() > limits_.maxTextBytes;
    }

    // Puts one cell, its parts gathered by the sheet handler, into the workbook.
    bool PutCell(int row, int column, std::string_view type, const std::string& style,
                 bool hasValue, const std::string& value, bool isInline,
                 const std::string& inlineText, std::string& failure) {
        if (type == "inlineStr" && isInline) {
            book_.SetCellText(row, column, Utf8ToGb18030(DecodeEscapes(inlineText)));
            return true;
        }
        if (!hasValue) {
            book_.NoteUsed(row, column); // formatted, but empty
            return true;
        }
        if (type == "s") {
            const std::optional<int> index = ParseIndex(value.c_str(), kMaxIndex);
            if (!index || static_cast<std::size_t>(*index) >= sharedCount_) {
                failure =
                    "a cell names shared string " + value + " of " + std::to_string(sharedCount_);
                return false;
            }
            book_.SetCell(row, column, sharedFirst_ + static_cast<std::uint32_t>(*index));
        } else if (type == "b") {
            book_.SetCellText(row, column, value == "1" ? "TRUE" : "FALSE");
        } else if (type == "d") {
            book_.SetCellText(row, column, IsoDateText(value));
        } else if (type == "e" || type == "str" || type == "inlineStr") {
            book_.SetCellText(row, column, Utf8ToGb18030(DecodeEscapes(value)));
        } else {
            double number = 0;
            if (!ParseNumber(value.c_str(), number)) {
                // Not a number after all; its text is what the writer meant.
                book_.SetCellText(row, column, Utf8ToGb18030(value));
            } else {
                book_.SetCellText(row, column,
                                  IsDateStyle(style.empty() ? nullptr : style.c_str())
                                      ? DateText(number, system1904_)
                                      : NumberText(number));
            }
        }
        return true;
    }

    ZipReader zip_;
    Limits limits_;
    Workbook book_;
    WorkbookError error_ = WorkbookError::None;
    std::string detail_;
    std::string workbookPart_;
    std::string sharedStringsPart_ = "xl/sharedStrings.xml";
    std::string stylesPart_ = "xl/styles.xml";
    bool system1904_ = false;
    std::uint32_t sharedFirst_ = 0;
    std::size_t sharedCount_ = 0;
    std::vector<bool> xfIsDate_;
};

// <sheetData><row r="1"><c r="A1" s="1" t="s"><v>0</v></c>...</row></sheetData>, where
// the row and cell numbers may be left out (the next row, the next column).
class SheetHandler : public SaxHandler {
public:
    explicit SheetHandler(Reader& reader) : reader_(reader) {}

    void Start(std::string_view name, const char** attributes) override {
        if (name == "sheetData") {
            inData_ = true;
        } else if (!inData_) {
            return;
        } else if (name == "row") {
            StartRow(SaxAttribute(attributes, "r"));
        } else if (name == "c") {
            StartCell(attributes);
        } else if (!inCell_) {
            return;
        } else if (name == "v") {
            hasValue_ = true;
            collect_ = &value_;
        } else if (name == "is") {
            isInline_ = true;
        } else if (name == "rPh") {
            ++phonetic_;
        } else if (name == "t" && isInline_ && phonetic_ == 0) {
            collect_ = &inline_;
        }
    }

    void End(std::string_view name) override {
        if (name == "v" || name == "t") {
            collect_ = nullptr;
        } else if (name == "rPh" && phonetic_ > 0) {
            --phonetic_;
        } else if (name == "c" && inCell_) {
            inCell_ = false;
            std::string why;
            if (!reader_.PutCell(rowNumber_, column_, type_, style_, hasValue_, value_, isInline_,
                                 inline_, why)) {
                Fail(why);
            } else if (reader_.OverLimits()) {
                FailTooLarge();
            }
        } else if (name == "sheetData") {
            inData_ = false;
        }
    }

    void Text(const char* data, int size) override {
        if (collect_ != nullptr) {
            collect_->append(data, static_cast<std::size_t>(size));
            if (collect_->size() > reader_.limits_.maxTextBytes) {
                FailTooLarge();
            }
        }
    }

private:
    void StartRow(const char* r) {
        const std::optional<int> number =
            r != nullptr ? ParseIndex(r, Workbook::kMaxRows) : rowNumber_ + 1;
        column_ = 0;
        if (!number || *number < 1 || *number > Workbook::kMaxRows) {
            Fail("a row numbered " + std::string(r != nullptr ? r : "") +
                 " lies outside the sheet");
            return;
        }
        rowNumber_ = *number;
    }

    void StartCell(const char** attributes) {
        const char* ref = SaxAttribute(attributes, "r");
        if (ref != nullptr) {
            int row = 0;
            if (!ParseCellReference(ref, row, column_)) {
                Fail("a cell reference \"" + std::string(ref) + "\" is not a cell");
                return;
            }
            rowNumber_ = row;
        } else if (++column_ > Workbook::kMaxColumns) {
            Fail("a row runs past the last column");
            return;
        }
        if (rowNumber_ < 1) {
            rowNumber_ = 1; // a cell before any row: the first
        }
        const char* type = SaxAttribute(attributes, "t");
        const char* style = SaxAttribute(attributes, "s");
        type_ = type != nullptr ? type : "n";
        style_ = style != nullptr ? style : "";
        inCell_ = true;
        hasValue_ = false;
        isInline_ = false;
        phonetic_ = 0;
        value_.clear();
        inline_.clear();
        collect_ = nullptr;
    }

    Reader& reader_;
    bool inData_ = false;
    bool inCell_ = false;
    bool hasValue_ = false;
    bool isInline_ = false;
    int phonetic_ = 0;
    int rowNumber_ = 0;
    int column_ = 0;
    std::string type_;
    std::string style_;
    std::string value_;
    std::string inline_;
    std::string* collect_ = nullptr;
};

bool Reader::ReadSheet(const std::string& part) {
    SheetHandler handler(*this);
    return ReadSheetWith(part, handler);
}

} // namespace

WorkbookResult ReadXlsx(ByteSpan file, const Limits& limits) {
    return Reader(file, limits).Read();
}

} // namespace quillon::xlsx
