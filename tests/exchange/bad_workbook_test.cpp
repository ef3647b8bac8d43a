// Files that are no readable workbook: each must end in its own clear reason, never in
// cells made up from garbage and never in a crash.
#include "biff_builder.h"
#include "zip_builder.h"

#include "exchange/read_workbook.h"
#include "exchange/template.h"
#include "exchange/xls/container.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

using biff::Body;
using biff::Bytes;
using quillon::ByteWriter;
using quillon::WorkbookError;
namespace rec = quillon::xls::rec;

Bytes TemplateBytes() {
    const auto bytes = quillon::SpreadsheetTemplateBytes();
    return Bytes(bytes.begin(), bytes.end());
}

Bytes TemplateWithWorkbook(const Bytes& stream) {
    return quillon::xls::ReplaceCompoundStream(TemplateBytes(), "Workbook", stream).bytes;
}

Bytes TemplateWorkbookStream() {
    return quillon::xls::ReadCompoundStream(TemplateBytes(), "Workbook").bytes;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes RandomBytes() {
    std::mt19937 random(7);
    Bytes bytes(4096);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

Bytes CompoundWith(const std::string& name) {
    quillon::xls::CompoundEntry root;
    root.storage = true;
    quillon::xls::CompoundEntry stream;
    stream.name = name;
    stream.bytes.assign(5000, 1);
    root.children.push_back(stream);
    return quillon::xls::WriteCompoundFile(root).bytes;
}

Bytes EncryptedXls() {
    biff::Book book;
    book.Global(rec::kFilePass, Bytes{0, 0, 0x12, 0x34, 0x56, 0x78});
    return book.File();
}

Bytes ShortRecord() {
    biff::Book book;
    book.Sheet(rec::kNumber, Bytes{0, 0, 0, 0, 0, 0}); // a NUMBER without its value
    return book.File();
}

Bytes MissingSharedString() {
    biff::Book book;
    book.Sheet(rec::kLabelSst, biff::Cell(0, 0, 0, Bytes{5, 0, 0, 0}));
    return book.File();
}

Bytes Biff4() {
    ByteWriter w;
    biff::Book::Record(w, 0x0409, Bytes{0, 0, 0x10, 0, 0, 0});
    return w.Take();
}

Bytes NoWorksheet() {
    biff::Book book;
    book.withBoundSheet = false;
    ByteWriter w;
    const Bytes stream = book.Stream();
    // Only the globals: cut after their EOF.
    std::size_t end = 0;
    for (std::size_t i = 0; i + 4 <= stream.size(); i += 4 + (stream[i + 2] | stream[i + 3] << 8)) {
        if (stream[i] == 0x0A && stream[i + 1] == 0) {
            end = i + 4;
            break;
        }
    }
    return Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(end));
}

TEST(BadWorkbooks, EachEndsInItsOwnReason) {
    const Bytes stream = TemplateWorkbookStream();
    ASSERT_GT(stream.size(), 6000u);
    const Bytes tmpl = TemplateBytes();
    const struct {
        const char* name;
        Bytes bytes;
        WorkbookError error;
    } cases[] = {
        {"empty file", {}, WorkbookError::Empty},
        {"random bytes", RandomBytes(), WorkbookError::NotAWorkbook},
        {"a text file", Text("姓名,性别\n张三,男\n"), WorkbookError::NotAWorkbook},
        {"a package file", Text("QSEC\x01\x02 not a workbook"), WorkbookError::NotAWorkbook},
        {"compound file cut short", Bytes(tmpl.begin(), tmpl.begin() + 3000),
         WorkbookError::Damaged},
        {"workbook stream cut short",
         TemplateWithWorkbook(Bytes(stream.begin(), stream.begin() + 5000)),
         WorkbookError::Truncated},
        {"workbook stream of zeros", TemplateWithWorkbook(Bytes(5000, 0)),
         WorkbookError::NotAWorkbook},
        {"a compound file that is no workbook", CompoundWith("WordDocument"),
         WorkbookError::NotAWorkbook},
        {"encrypted .xls", EncryptedXls(), WorkbookError::Encrypted},
        {"encrypted .xlsx", CompoundWith("EncryptedPackage"), WorkbookError::Encrypted},
        {"record shorter than its kind", ShortRecord(), WorkbookError::Damaged},
        {"shared string that is not there", MissingSharedString(), WorkbookError::Damaged},
        {"BIFF4", Biff4(), WorkbookError::Unsupported},
        {"no worksheet", NoWorksheet(), WorkbookError::Empty},
        {"a zip that is no workbook", zipper::Zip({{"readme.txt", "hello"}}),
         WorkbookError::NotAWorkbook},
        {"a zip cut short",
         [] {
             Bytes zip = zipper::Zip({{"xl/workbook.xml", std::string(3000, 'x')}});
             zip.resize(zip.size() / 2);
             return zip;
         }(),
         WorkbookError::NotAWorkbook},
    };
    for (const auto& c : cases) {
        const auto result = quillon::ReadWorkbook(c.bytes);
        EXPECT_EQ(result.error, c.error)
            << c.name << ": " << quillon::WorkbookErrorName(result.error) << ", " << result.detail;
        EXPECT_FALSE(result.detail.empty()) << c.name;
    }
}

TEST(BadWorkbooks, FilesThatCannotBeRead) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("quillon-badwb-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    EXPECT_EQ(quillon::ReadWorkbookFile(dir / "missing.xls").error, WorkbookError::NotFound);
    EXPECT_EQ(quillon::ReadWorkbookFile(dir).error, WorkbookError::Unreadable);
    std::filesystem::remove_all(dir);
}

} // namespace
