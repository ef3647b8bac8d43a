#include "exchange/xlsx/sheet_rows.h"

#include "exchange/zip/memory_file.h"
#include "platform/files.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace quillon::xlsx {

namespace {

// Rows are deflated in pieces of about this many bytes of XML.
constexpr std::size_t kDeflatePiece = std::size_t{256} << 10;
// The parts the library writes beside the data sheet are a few kilobytes each.
constexpr std::size_t kMaxFormPartBytes = std::size_t{16} << 20;
constexpr int kFastestLevel = 1;

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_x0041_" in a cell reads as the character 0041.
bool LooksLikeEscape(std::string_view text, std::size_t at) {
    return at + 7 <= text.size() && text[at + 1] == 'x' && IsHex(text[at + 2]) &&
           IsHex(text[at + 3]) && IsHex(text[at + 4]) && IsHex(text[at + 5]) && text[at + 6] == '_';
}

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void AppendHexEscape(std::string& out, unsigned code) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char escape[] = {'_',
                           'x',
                           kDigits[(code >> 12) & 15],
                           kDigits[(code >> 8) & 15],
                           kDigits[(code >> 4) & 15],
                           kDigits[code & 15],
                           '_'};
    out.append(escape, sizeof escape);
}

struct UnzipCloser {
    void operator()(void* file) const { unzClose(file); }
};
struct ZipCloser {
    void operator()(void* file) const { zipClose(file, nullptr); }
};
using UnzipFile = std::unique_ptr<void, UnzipCloser>;
using ZipOutput = std::unique_ptr<void, ZipCloser>;

SpliceResult Refuse(std::string detail) {
    return {false, std::move(detail)};
}

std::string SystemWords() {
    return std::strerror(errno);
}

// A part of the archive as it came, with what its entry records.
struct FormPart {
    std::string name;
    unz_file_info64 info{};
    std::string bytes;
};

SpliceResult ReadCurrentPart(unzFile in, FormPart& part) {
    char name[512];
    if (unzGetCurrentFileInfo64(in, &part.info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK ||
        part.info.size_filename >= sizeof name) {
        return Refuse("the form's archive cannot be read");
    }
    part.name = name;
    if (part.info.uncompressed_size > kMaxFormPartBytes) {
        return Refuse("the form's part " + part.name + " is too large");
    }
    if (unzOpenCurrentFile(in) != UNZ_OK) {
        return Refuse("the form's part " + part.name + " cannot be opened");
    }
    part.bytes.resize(part.info.uncompressed_size);
    const int got =
        unzReadCurrentFile(in, part.bytes.data(), static_cast<unsigned>(part.bytes.size()));
    const int closed = unzCloseCurrentFile(in); // checks the CRC
    if (got != static_cast<int>(part.bytes.size()) || closed != UNZ_OK) {
        return Refuse("the form's part " + part.name + " is damaged");
    }
    return {};
}

zip_fileinfo EntryInfoOf(const FormPart& part) {
    zip_fileinfo info{};
    info.dosDate = part.info.dosDate;
    info.internal_fa = part.info.internal_fa;
    info.external_fa = part.info.external_fa;
    return info;
}

SpliceResult CopyPart(zipFile out, const FormPart& part) {
    const zip_fileinfo info = EntryInfoOf(part);
    if (zipOpenNewFileInZip(out, part.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION) != ZIP_OK ||
        zipWriteInFileInZip(out, part.bytes.data(), static_cast<unsigned>(part.bytes.size())) !=
            ZIP_OK ||
        zipCloseFileInZip(out) != ZIP_OK) {
        return Refuse("cannot write " + part.name + ": " + SystemWords());
    }
    return {};
}

// A deflate stream of its own for a piece of the sheet that comes before or after the rows.
// Not the last piece: it ends on a byte boundary without the final block, so that the next
// piece's blocks follow it as if one stream had made both.
std::string DeflatePiece(std::string_view text, bool last) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&z, text.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    return packed;
}

// The sheet's recorded extent, "A1:J3", widened to the last row and column written.
void WidenDimension(std::string& head, int lastRow, int lastColumn) {
    const std::string_view opening = "<dimension ref=\"";
    const std::size_t start = head.find(opening);
    if (start == std::string::npos) {
        return;
    }
    const std::size_t from = start + opening.size();
    const std::size_t end = head.find('"', from);
    const std::size_t colon = head.find(':', from);
    if (end == std::string::npos || colon == std::string::npos || colon > end) {
        return;
    }
    const std::string_view last = std::string_view(head).substr(colon + 1, end - colon - 1);
    const std::size_t digits = last.find_first_of("0123456789");
    if (digits == std::string_view::npos || digits == 0) {
        return;
    }
    int formColumn = -1;
    for (char c : last.substr(0, digits)) {
        formColumn = (formColumn + 1) * 26 + (c - 'A');
    }
    int formRow = 0;
    std::from_chars(last.data() + digits, last.data() + last.size(), formRow);
    const int row = std::max(formRow, lastRow + 1);
    const int column = std::max(formColumn, lastColumn);
    head.replace(colon + 1, end - colon - 1, ColumnLetters(column) + std::to_string(row));
}

} // namespace

std::string ColumnLetters(int column) {
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return letters;
}

// A deflate stream that ends itself.
struct SheetRows::Stream {
    z_stream z{};
    bool started = false;
    ~Stream() {
        if (started) {
            deflateEnd(&z);
        }
    }
};

SheetRows::SheetRows(const std::filesystem::path& folder) {
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // A file system without unnamed files: a named one, unlinked at once.
        std::string name = (folder / ".rows.XXXXXX").string();
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0) {
            ::unlink(name.c_str());
        }
    }
    if (fd_ < 0) {
        Fail(SystemWords());
        return;
    }
    stream_ = std::make_unique<Stream>();
    stream_->started = deflateInit2(&stream_->z, kFastestLevel, Z_DEFLATED, -MAX_WBITS, 8,
                                    Z_DEFAULT_STRATEGY) == Z_OK;
    if (!stream_->started) {
        Fail("no memory for deflate");
        return;
    }
    xml_.reserve(kDeflatePiece + (std::size_t{64} << 10));
    crc_ = crc32(0, nullptr, 0);
}

SheetRows::~SheetRows() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void SheetRows::Fail(std::string detail) {
    if (status_) {
        status_ = Refuse(std::move(detail));
    }
}

void SheetRows::StartRow(int row) {
    row_ = row;
    rowStart_ = xml_.size();
    lastColumnBefore_ = lastColumn_;
    rowNumber_.resize(12);
    rowNumber_.resize(std::to_chars(rowNumber_.data(), rowNumber_.data() + 12, row + 1).ptr -
                      rowNumber_.data());
    xml_ += "<row r=\"";
    xml_ += rowNumber_;
    xml_ += "\">";
}

void SheetRows::AddText(int column, std::string_view utf8, int style) {
    xml_ += "<c r=\"";
    if (column < 26) {
        xml_ += static_cast<char>('A' + column);
    } else {
        xml_ += ColumnLetters(column);
    }
    xml_ += rowNumber_;
    xml_ += "\" s=\"";
    char number[12];
    xml_.append(number, std::to_chars(number, number + sizeof number, style).ptr);
    xml_ += "\" t=\"inlineStr\"><is><t";
    if (!utf8.empty() && (IsXmlSpace(utf8.front()) || IsXmlSpace(utf8.back()))) {
        xml_ += " xml:space=\"preserve\"";
    }
    xml_ += '>';
    AppendEscaped(utf8);
    xml_ += "</t></is></c>";
    lastColumn_ = std::max(lastColumn_, column);
}

void SheetRows::EndRow() {
    xml_ += "</row>";
    lastRow_ = row_;
    if (xml_.size() >= kDeflatePiece) {
        Deflate(Z_NO_FLUSH);
    }
}

void SheetRows::CancelRow() {
    xml_.resize(rowStart_);
    lastColumn_ = lastColumnBefore_;
}

// Markup characters as entities; what XML cannot hold (control characters, U+FFFE, U+FFFF)
// and a carriage return, which readers would turn into a line feed, as the format's
// "_xHHHH_"; and the underscore of a text that only looks like such an escape as the escape
// of an underscore, so that every text reads back as written.
void SheetRows::AppendEscaped(std::string_view text) {
    std::size_t copied = 0;
    const auto flush = [&](std::size_t at) { xml_.append(text.data() + copied, at - copied); };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '_' && c != 0xEF) {
            continue;
        }
        if (c == 0xEF) {
            if (at + 2 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[at + 2]) & 0xFE) == 0xBE) {
                flush(at);
                AppendHexEscape(xml_, 0xFFFE | (static_cast<unsigned char>(text[at + 2]) & 1));
                at += 2;
                copied = at + 1;
            }
            continue;
        }
        if (c == '_') {
            if (LooksLikeEscape(text, at)) {
                flush(at);
                xml_ += "_x005F"; // and the underscore itself closes it
                copied = at;
            }
            continue;
        }
        flush(at);
        copied = at + 1;
        switch (c) {
        case '&':
            xml_ += "&amp;";
            break;
        case '<':
            xml_ += "&lt;";
            break;
        case '>':
            xml_ += "&gt;";
            break;
        case '\t':
        case '\n':
            xml_ += static_cast<char>(c);
            break;
        default:
            AppendHexEscape(xml_, c);
        }
    }
    flush(text.size());
}

void SheetRows::Deflate(int flush) {
    if (!status_) {
        xml_.clear();
        return;
    }
    z_stream& z = stream_->z;
    crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(xml_.data()), static_cast<uInt>(xml_.size()));
    xmlBytes_ += xml_.size();
    z.next_in = reinterpret_cast<Bytef*>(xml_.data());
    z.avail_in = static_cast<uInt>(xml_.size());
    packed_.resize(kDeflatePiece);
    do {
        z.next_out = reinterpret_cast<Bytef*>(packed_.data());
        z.avail_out = static_cast<uInt>(packed_.size());
        deflate(&z, flush);
        const std::size_t produced = packed_.size() - z.avail_out;
        if (!WriteAll(fd_, std::string_view(packed_).substr(0, produced))) {
            Fail(SystemWords());
            break;
        }
        packedBytes_ += produced;
    } while (z.avail_out == 0);
    xml_.clear();
}

SpliceResult SheetRows::SpliceInto(std::string_view form, std::string_view sheetPart,
                                   const std::filesystem::path& out) {
    Deflate(Z_SYNC_FLUSH);
    if (!status_) {
        return status_;
    }
    ZipMemoryFile formFile;
    formFile.in = form;
    zlib_filefunc64_def functions = ZipMemoryFunctions(formFile);
    UnzipFile in(unzOpen2_64("form", &functions));
    if (!in || unzGoToFirstFile(in.get()) != UNZ_OK) {
        return Refuse("the form's archive cannot be opened");
    }
    ZipOutput zip(zipOpen64(out.c_str(), APPEND_STATUS_CREATE));
    if (!zip) {
        return Refuse(SystemWords());
    }
    bool sheetWritten = false;
    int next = UNZ_OK;
    for (; next == UNZ_OK; next = unzGoToNextFile(in.get())) {
        FormPart part;
        if (SpliceResult read = ReadCurrentPart(in.get(), part); !read) {
            return read;
        }
        if (part.name != sheetPart) {
            if (SpliceResult copied = CopyPart(zip.get(), part); !copied) {
                return copied;
            }
            continue;
        }
        const std::size_t split = part.bytes.find("</sheetData>");
        if (split == std::string::npos) {
            return Refuse("the data sheet has no rows to follow");
        }
        std::string head = part.bytes.substr(0, split);
        const std::string_view tail = std::string_view(part.bytes).substr(split);
        WidenDimension(head, lastRow_, lastColumn_);
        const std::string packedHead = DeflatePiece(head, false);
        const std::string packedTail = DeflatePiece(tail, true);
        const std::uint64_t size = head.size() + xmlBytes_ + tail.size();
        uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(head.data()), static_cast<uInt>(head.size()));
        crc = crc32_combine64(crc, crc_, static_cast<z_off64_t>(xmlBytes_));
        crc = crc32_combine64(
            crc,
            crc32(0, reinterpret_cast<const Bytef*>(tail.data()), static_cast<uInt>(tail.size())),
            static_cast<z_off64_t>(tail.size()));
        const zip_fileinfo info = EntryInfoOf(part);
        const int zip64 = size >= 0xFFFFFFFFu ? 1 : 0;
        if (zipOpenNewFileInZip4_64(zip.get(), part.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                    nullptr, Z_DEFLATED, kFastestLevel, 1, -MAX_WBITS, 8,
                                    Z_DEFAULT_STRATEGY, nullptr, 0, 0, 0, zip64) != ZIP_OK ||
            zipWriteInFileInZip(zip.get(), packedHead.data(),
                                static_cast<unsigned>(packedHead.size())) != ZIP_OK) {
            return Refuse("cannot write the data sheet: " + SystemWords());
        }
        std::vector<char> buffer(std::size_t{1} << 20);
        for (std::uint64_t at = 0; at < packedBytes_;) {
            const ssize_t got = ::pread(fd_, buffer.data(), buffer.size(), static_cast<off_t>(at));
            if (got <= 0) {
                return Refuse("cannot read the rows back: " + SystemWords());
            }
            if (zipWriteInFileInZip(zip.get(), buffer.data(), static_cast<unsigned>(got)) !=
                ZIP_OK) {
                return Refuse("cannot write the data sheet: " + SystemWords());
            }
            at += static_cast<std::uint64_t>(got);
        }
        if (zipWriteInFileInZip(zip.get(), packedTail.data(),
                                static_cast<unsigned>(packedTail.size())) != ZIP_OK ||
            zipCloseFileInZipRaw64(zip.get(), size, crc) != ZIP_OK) {
            return Refuse("cannot write the data sheet: " + SystemWords());
        }
        sheetWritten = true;
    }
    if (next != UNZ_END_OF_LIST_OF_FILE) {
        return Refuse("the form's archive cannot be read");
    }
    if (!sheetWritten) {
        return Refuse("the form has no data sheet");
    }
    errno = 0;
    if (zipClose(zip.release(), nullptr) != ZIP_OK) {
        return Refuse("cannot finish the workbook: " + SystemWords());
    }
    return {};
}

} // namespace quillon::xlsx
