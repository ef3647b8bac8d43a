// Writes the hostile files: small packages and workbooks shaped to make a reader spend
// memory or time out of all proportion to their size. Each is a fuzz seed (packages behind
// the package fuzzer's mode byte) and a case of the table test that runs every one through
// qsecdump, xlsdump and the import under a memory limit. They are committed; rerun this
// only to change their shapes.
//
//   make_hostile_files PACKAGE_SEEDS WORKBOOK_SEEDS
#include "crypto/idea.h"
#include "tests/exchange/zip_builder.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Zip(const zipper::Parts& parts, const std::vector<std::string>& stored = {}) {
    const std::vector<std::uint8_t> bytes = zipper::Zip(parts, stored);
    return {bytes.begin(), bytes.end()};
}

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    std::cout << file.string() << ": " << bytes.size() << " bytes\n";
}

// The package fuzzer's mode byte 0: the rest is a package file under its fixed password.
void WritePackageSeed(const fs::path& folder, const std::string& name, const std::string& archive) {
    static const IdeaKey key = IdeaKeyFromPassword("quillon2026");
    Write(folder / name, '\0' + IdeaEncryptBytes(archive, key));
}

// A deflated text of a million lines of empty fields, behind a stored entry of noise
// whose size would have raised a bound counted from the whole package.
std::string EmptyLinesBehindFiller() {
    std::mt19937 random(18);
    std::string filler(120 * 1024, '\0');
    for (char& c : filler) {
        c = static_cast<char>(random());
    }
    std::string lines;
    for (int i = 0; i < 1000000; ++i) {
        lines += ",,,,,,,,,,\r\n";
    }
    return Zip({{"filler.bin", filler}, {"note_template_1.txt", lines}}, {"filler.bin"});
}

// Lines of random digits compress only some twentyfold, so no inflation bound refuses
// them: several hundred thousand records from a few hundred kilobytes.
std::string RandomDigitLines() {
    std::mt19937 random(19);
    std::string lines;
    while (lines.size() < 12'000'000) {
        lines += static_cast<char>('0' + random() % 10);
        lines += ",,,,,,,,,,\r\n";
    }
    return Zip({{"note_template_1.txt", lines}});
}

const char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRel[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string Relationships(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
           "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
           items + "</Relationships>";
}

std::string Relationship(const std::string& id, const std::string& type,
                         const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "/" + type + "\" Target=\"" + target +
           "\"/>";
}

// A workbook of one sheet with the given rows; the workbook part, its relationships and
// further parts can be given instead of the plain ones.
std::string Xlsx(const std::string& sheetData, std::string workbook = {},
                 std::string workbookRels = {}, zipper::Parts more = {}) {
    if (workbook.empty()) {
        workbook = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel +
                   "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                   "</workbook>";
    }
    if (workbookRels.empty()) {
        workbookRels = Relationships(Relationship("rId1", "worksheet", "worksheets/sheet1.xml"));
    }
    zipper::Parts parts = {
        {"_rels/.rels", Relationships(Relationship("rId1", "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", workbook},
        {"xl/_rels/workbook.xml.rels", workbookRels},
        {"xl/worksheets/sheet1.xml", std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" +
                                         sheetData + "</sheetData></worksheet>"},
    };
    parts.insert(parts.end(), more.begin(), more.end());
    return Zip(parts);
}

std::string InlineCell(const std::string& reference, const std::string& text) {
    return "<c r=\"" + reference + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

std::string EmptySharedStrings() {
    std::string items(std::string("<sst xmlns=\"") + kMain + "\">");
    for (int i = 0; i < 20'000'000; ++i) {
        items += "<si/>";
    }
    items += "</sst>";
    const std::string rels =
        Relationships(Relationship("rId1", "worksheet", "worksheets/sheet1.xml") +
                      Relationship("rId2", "sharedStrings", "sharedStrings.xml"));
    return Xlsx("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>19999999</v></c></row>", {}, rels,
                {{"xl/sharedStrings.xml", items}});
}

std::string SheetsMatchingNoRelationship() {
    std::string sheets;
    std::string rels;
    for (int i = 1; i <= 100'000; ++i) {
        const std::string n = std::to_string(i);
        sheets += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"s" + n + "\"/>";
        rels += Relationship("r" + n, "worksheet", "worksheets/sheet1.xml");
    }
    return Xlsx("",
                std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>" +
                    sheets + "</sheets></workbook>",
                Relationships(rels));
}

std::string EmojiCell() {
    std::string emoji;
    for (int i = 0; i < 400'000; ++i) {
        emoji += "\xF0\x9F\x98\x80";
    }
    return Xlsx("<row r=\"1\">" + InlineCell("A1", emoji) + "</row>");
}

// Every row of the sheet present, each with one formatted empty cell.
std::string EveryRowFormatted() {
    std::string rows;
    for (int r = 1; r <= 1'048'576; ++r) {
        rows += "<row><c s=\"0\"/></row>";
    }
    return Xlsx(rows);
}

void PutLittleEndian(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
}

// A compound file whose 3,000 streams all claim one chain of 512 KB: a reader that takes
// every stream whole holds 1.5 GB. The first is named Workbook and holds no BIFF.
std::string StreamsSharingOneChain() {
    constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
    constexpr int kStreams = 3000;
    constexpr std::uint32_t kChainSectors = 1024; // 512 KB
    const std::uint32_t directorySectors = (kStreams + 1 + 3) / 4;
    std::uint32_t fatSectors = 1;
    while (fatSectors * 128 < fatSectors + directorySectors + kChainSectors) {
        ++fatSectors;
    }
    const std::uint32_t firstDirectory = fatSectors;
    const std::uint32_t firstData = firstDirectory + directorySectors;
    const std::uint32_t sectors = firstData + kChainSectors;
    std::string file(512 + std::size_t{sectors} * 512, '\0');
    const std::string signature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    file.replace(0, 8, signature);
    PutLittleEndian(file, 24, 0x3E, 2);
    PutLittleEndian(file, 26, 3, 2);
    PutLittleEndian(file, 28, 0xFFFE, 2);
    PutLittleEndian(file, 30, 9, 2);
    PutLittleEndian(file, 32, 6, 2);
    PutLittleEndian(file, 44, fatSectors, 4);
    PutLittleEndian(file, 48, firstDirectory, 4);
    PutLittleEndian(file, 56, 4096, 4);
    PutLittleEndian(file, 60, kEnd, 4);
    PutLittleEndian(file, 68, kEnd, 4);
    for (std::uint32_t i = 0; i < 109; ++i) {
        PutLittleEndian(file, 76 + 4 * i, i < fatSectors ? i : kFree, 4);
    }
    auto sector = [](std::uint32_t n) { return 512 + std::size_t{n} * 512; };
    auto setFat = [&](std::uint32_t n, std::uint32_t next) {
        PutLittleEndian(file, sector(n / 128) + 4 * (n % 128), next, 4);
    };
    for (std::uint32_t n = 0; n < fatSectors * 128; ++n) {
        setFat(n, n < fatSectors ? kFatSector : kFree);
    }
    for (std::uint32_t n = firstDirectory; n < sectors; ++n) {
        setFat(n, n + 1 == firstData || n + 1 == sectors ? kEnd : n + 1);
    }
    auto entry = [&](int index, const std::string& name, int type, std::uint32_t right,
                     std::uint32_t child, std::uint32_t start, std::uint32_t size) {
        const std::size_t at = sector(firstDirectory) + std::size_t(index) * 128;
        for (std::size_t i = 0; i < name.size(); ++i) {
            file[at + 2 * i] = name[i];
        }
        PutLittleEndian(file, at + 64, 2 * (name.size() + 1), 2);
        file[at + 66] = static_cast<char>(type);
        file[at + 67] = 1; // black
        PutLittleEndian(file, at + 68, kFree, 4);
        PutLittleEndian(file, at + 72, right, 4);
        PutLittleEndian(file, at + 76, child, 4);
        PutLittleEndian(file, at + 116, start, 4);
        PutLittleEndian(file, at + 120, size, 4);
    };
    entry(0, "Root Entry", 5, kFree, 1, kEnd, 0);
    for (int i = 1; i <= kStreams; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "S%04d", i);
        entry(i, i == 1 ? "Workbook" : name, 2, i < kStreams ? i + 1 : kFree, kFree, firstData,
              kChainSectors * 512);
    }
    for (int i = kStreams + 1; i < int(directorySectors * 4); ++i) {
        const std::size_t at = sector(firstDirectory) + std::size_t(i) * 128;
        PutLittleEndian(file, at + 68, kFree, 4);
        PutLittleEndian(file, at + 72, kFree, 4);
        PutLittleEndian(file, at + 76, kFree, 4);
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_hostile_files PACKAGE_SEEDS WORKBOOK_SEEDS\n";
        return 1;
    }
    const fs::path packages = argv[1];
    const fs::path workbooks = argv[2];
    WritePackageSeed(packages, "hostile-empty-lines-behind-filler", EmptyLinesBehindFiller());
    WritePackageSeed(packages, "hostile-random-digit-lines", RandomDigitLines());
    Write(workbooks / "hostile-empty-shared-strings.xlsx", EmptySharedStrings());
    Write(workbooks / "hostile-sheets-matching-no-relationship.xlsx",
          SheetsMatchingNoRelationship());
    Write(workbooks / "hostile-emoji-cell.xlsx", EmojiCell());
    Write(workbooks / "hostile-last-cell.xlsx",
          Xlsx("<row r=\"1\">" + InlineCell("A1", "first") + "</row><row r=\"1048576\">" +
               InlineCell("XFD1048576", "last") + "</row>"));
    Write(workbooks / "hostile-row-past-the-limit.xlsx",
          Xlsx("<row r=\"4294967297\"><c t=\"inlineStr\"><is><t>wrapped</t></is></c></row>"));
    Write(workbooks / "hostile-every-row-formatted.xlsx", EveryRowFormatted());
    Write(workbooks / "hostile-streams-sharing-one-chain.xls", StreamsSharingOneChain());
    return 0;
}
