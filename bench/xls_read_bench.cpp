// Reading a 60,000-row register workbook cell by cell, as the import does, in .xls and
// .xlsx, beside python3-xlrd reading the same files; and converting one cell of emoji. The
// workbooks are made here: the .xls as Excel lays out texts (shared strings split across
// CONTINUE records, LABELSST cells), the .xlsx with shared strings and a plain sheet part.
#include "bench_support.h"
#include "exchange/bytes.h"
#include "exchange/read_workbook.h"
#include "exchange/xls/container.h"
#include "exchange/xls/records.h"
#include "platform/text.h"

#include <minizip/zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;
using quillon::ByteWriter;
namespace rec = quillon::xls::rec;

namespace {

constexpr int kRows = 60000;
constexpr int kColumns = 10;

// The ten fields of register row n (UTF-8): most repeat across rows, the name and the
// mobile number do not.
std::vector<std::string> RowTexts(int n) {
    static const char* sexes[] = {"男", "女"};
    static const char* educations[] = {"小学", "初中", "高中", "大学", "硕士"};
    static const char* kinds[] = {"乡镇", "村", "社区", "街道"};
    static const char* provinces[] = {"北京市", "河北省", "江苏省", "广东省"};
    char birthday[16];
    std::snprintf(birthday, sizeof birthday, "19%02d-%02d-%02d", 50 + n % 50, 1 + n % 12,
                  1 + n % 28);
    return {"姓名" + std::to_string(n),
            sexes[n % 2],
            birthday,
            educations[n % 5],
            kinds[n % 4],
            provinces[n % 4],
            "市" + std::to_string(n % 50),
            "县" + std::to_string(n % 300),
            "单位" + std::to_string(n % 1000) + " 职务",
            std::to_string(13500000000LL + n)};
}

void Record(ByteWriter& w, std::uint16_t id, const std::vector<std::uint8_t>& body) {
    w.U16(id);
    w.U16(static_cast<std::uint16_t>(body.size()));
    w.Bytes(body);
}

// A BIFF8 string (count, flags, UTF-16 characters) of UTF-8 text.
std::vector<std::uint8_t> UnicodeString(const std::string& utf8) {
    // The texts here are all in the Basic Multilingual Plane: three bytes of UTF-8 at most.
    std::u16string units;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        char32_t code;
        int length;
        if (c < 0x80) {
            code = c;
            length = 1;
        } else if (c < 0xE0) {
            code = c & 0x1F;
            length = 2;
        } else {
            code = c & 0x0F;
            length = 3;
        }
        for (int k = 1; k < length; ++k) {
            code = (code << 6) | (utf8[i + k] & 0x3F);
        }
        units.push_back(static_cast<char16_t>(code));
        i += length;
    }
    ByteWriter w;
    w.U16(static_cast<std::uint16_t>(units.size()));
    w.U8(1);
    for (char16_t u : units) {
        w.U16(u);
    }
    return w.Take();
}

std::vector<std::uint8_t> MakeXls() {
    std::vector<std::string> strings;
    std::unordered_map<std::string, std::uint32_t> index;
    std::vector<std::uint32_t> cells;
    cells.reserve(kRows * kColumns);
    for (int row = 0; row < kRows; ++row) {
        for (const std::string& text : RowTexts(row)) {
            const auto [it, added] =
                index.emplace(text, static_cast<std::uint32_t>(strings.size()));
            if (added) {
                strings.push_back(text);
            }
            cells.push_back(it->second);
        }
    }
    ByteWriter w;
    Record(w, rec::kBof, {0x00, 0x06, 0x05, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 6, 0, 0, 0});
    for (int i = 0; i < 16; ++i) {
        Record(w, rec::kXf, std::vector<std::uint8_t>(20, 0));
    }
    const std::size_t boundSheetAt = w.Size() + 4;
    Record(w, rec::kBoundSheet, {0, 0, 0, 0, 0, 0, 6, 0, 'S', 'h', 'e', 'e', 't', '1'});
    // The table goes into one SST and as many CONTINUE records as it needs, each string
    // whole in one record.
    ByteWriter part;
    part.U32(static_cast<std::uint32_t>(cells.size()));
    part.U32(static_cast<std::uint32_t>(strings.size()));
    std::uint16_t id = rec::kSst;
    for (const std::string& text : strings) {
        const auto encoded = UnicodeString(text);
        if (part.Size() + encoded.size() > quillon::xls::kMaxRecordData) {
            Record(w, id, part.Take());
            part = ByteWriter();
            id = rec::kContinue;
        }
        part.Bytes(encoded);
    }
    Record(w, id, part.Take());
    Record(w, rec::kEof, {});
    w.PatchU32(boundSheetAt, static_cast<std::uint32_t>(w.Size()));
    Record(w, rec::kBof, {0x00, 0x06, 0x10, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 6, 0, 0, 0});
    ByteWriter dimensions;
    dimensions.U32(0);
    dimensions.U32(kRows);
    dimensions.U16(0);
    dimensions.U16(kColumns);
    dimensions.U16(0);
    Record(w, rec::kDimensions, dimensions.Take());
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            ByteWriter cell;
            cell.U16(static_cast<std::uint16_t>(row));
            cell.U16(static_cast<std::uint16_t>(column));
            cell.U16(15);
            cell.U32(cells[static_cast<std::size_t>(row) * kColumns + column]);
            Record(w, rec::kLabelSst, cell.Take());
        }
    }
    Record(w, rec::kEof, {});
    quillon::xls::CompoundEntry root;
    root.storage = true;
    root.children.push_back({"Workbook", false, w.Take(), {}, {}});
    return quillon::xls::WriteCompoundFile(root).bytes;
}

std::string ColumnName(int column) {
    return std::string(1, static_cast<char>('A' + column));
}

void WriteXlsx(const fs::path& path) {
    std::vector<std::string> strings;
    std::unordered_map<std::string, std::size_t> index;
    std::string sheet =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int row = 0; row < kRows; ++row) {
        const std::string r = std::to_string(row + 1);
        sheet += "<row r=\"" + r + "\">";
        int column = 0;
        for (const std::string& text : RowTexts(row)) {
            const auto [it, added] = index.emplace(text, strings.size());
            if (added) {
                strings.push_back(text);
            }
            sheet += "<c r=\"" + ColumnName(column++) + r + "\" t=\"s\"><v>" +
                     std::to_string(it->second) + "</v></c>";
        }
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    std::string sst = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst "
                      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (const std::string& text : strings) {
        sst += "<si><t>" + text + "</t></si>";
    }
    sst += "</sst>";
    const std::pair<const char*, std::string> parts[] = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+"
         "xml\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" "
         "ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
         "<Override PartName=\"/xl/sharedStrings.xml\" "
         "ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/></Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
         "Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<?xml version=\"1.0\"?><workbook "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", std::move(sheet)},
        {"xl/sharedStrings.xml", std::move(sst)},
    };
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [name, text] : parts) {
        zipOpenNewFileInZip64(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 1);
        zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

// Opens the workbook and reads every cell of the used range, as the import does.
std::size_t ReadAsTheImportDoes(const fs::path& path) {
    const quillon::WorkbookResult result = quillon::ReadWorkbookFile(path);
    if (!result) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), result.detail.c_str());
        std::exit(1);
    }
    std::size_t bytes = 0;
    for (int row = 1; row <= result.workbook.UsedRows(); ++row) {
        for (int column = 1; column <= kColumns; ++column) {
            bytes += result.workbook.CellText(row, column).size();
        }
    }
    return bytes;
}

// xlrd's own time for the same work, in milliseconds, or a negative number without it.
double XlrdMs(const fs::path& path) {
    const std::string command =
        "/usr/bin/python3 -c 'import sys,time,xlrd\n"
        "t=time.perf_counter()\n"
        "b=xlrd.open_workbook(sys.argv[1]); s=b.sheet_by_index(0)\n"
        "n=sum(len(str(s.cell_value(r,c))) for r in range(s.nrows) for c in range(s.ncols))\n"
        "print((time.perf_counter()-t)*1000)' " +
        path.string() + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    double ms = -1;
    if (std::fscanf(pipe, "%lf", &ms) != 1) {
        ms = -1;
    }
    pclose(pipe);
    return ms;
}

void Compare(const char* what, const fs::path& path) {
    std::size_t bytes = 0;
    const double ours = MedianMs(5, [&] { bytes = ReadAsTheImportDoes(path); });
    const double peer = XlrdMs(path);
    if (peer < 0) {
        std::printf("%-58s %9.2f ms   (python3-xlrd not available)\n", what, ours);
    } else {
        PrintFigure(what, ours, peer, "python3-xlrd");
    }
    std::printf("  %s: %.1f MB on disk, %zu bytes of cell text\n", path.filename().c_str(),
                fs::file_size(path) / 1048576.0, bytes);
}

} // namespace

// One cell of 400,000 emoji, as a workbook stores it (UTF-16), into the program's text as
// the reader takes it, and on to UTF-8 as the database takes it.
void ConvertEmojiCell() {
    std::u16string cell;
    for (int i = 0; i < 400000; ++i) {
        cell += u"\U0001F600";
    }
    std::size_t bytes = 0;
    const double ms =
        MedianMs(5, [&] { bytes = Gb18030ToUtf8(quillon::xls::Utf16ToGb18030Text(cell)).size(); });
    std::printf("%-58s %9.2f ms   (%zu bytes of UTF-8)\n",
                "convert a cell of 400,000 emoji (UTF-16 -> text -> UTF-8)", ms, bytes);
}

int main() {
    ConvertEmojiCell();
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-xls-read-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // The workbooks are made in a child process, so that the peak memory printed is that of
    // reading them alone.
    const pid_t maker = fork();
    if (maker == 0) {
        const auto xls = MakeXls();
        std::ofstream(dir / "register.xls", std::ios::binary)
            .write(reinterpret_cast<const char*>(xls.data()),
                   static_cast<std::streamsize>(xls.size()));
        WriteXlsx(dir / "register.xlsx");
        std::_Exit(0);
    }
    int status = 0;
    waitpid(maker, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "could not make the workbooks\n");
        return 1;
    }
    // The peak only grows, so the first figure is that of the .xls alone.
    Compare("read 60,000 rows x 10 cells (.xls)", dir / "register.xls");
    PrintPeakMemory();
    Compare("read 60,000 rows x 10 cells (.xlsx)", dir / "register.xlsx");
    PrintPeakMemory();
    fs::remove_all(dir);
    return 0;
}
