#pragma once

#include "store/contact_store.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The text inside a package: one contact a line, eleven GB18030 fields in ContactField order
// joined by ",", every line ended by CR LF. There is no quoting, so a value must not hold
// the separator or a line break.

// A value as it goes into a line: "," becomes the full-width "，" (GB18030 A3 AC) and each line
// break (CR LF, CR or LF) one blank. Without this a value with a comma shifts the fields
// after it on import. Every byte of a two- or four-byte GB18030 character is 0x30 or above,
// so no byte of another character is touched.
std::string MendedPackageValue(std::string_view value);

// Appends the record's line, CR LF included.
void AppendPackageLine(const ContactRecord& record, std::string& text);
std::string PackageText(const std::vector<ContactRecord>& records);

// A line's fields as the import maps them. A line with more than eleven fields was written
// before values were mended: the units of Organization_Detial were separated by commas,
// so fields 0..8 are taken from the front, the mobile number from the last field, and the
// ones between are joined again with ",". False when the line has fewer than eleven.
bool RecordFromPackageLine(std::string_view line, ContactRecord& record);

// Cuts package text into records as it arrives in pieces (inflated chunks). Line breaks
// are CR LF, LF or CR, even when a CR LF pair is split between two pieces; a final break
// adds no empty line. The first bad line stops the parsing.
class PackageTextParser {
public:
    using RecordFn = std::function<void(ContactRecord&& record)>;
    // Longer than any record the program can write by far; a line beyond it is damage.
    static constexpr std::size_t kMaxLine = 1 << 20;

    explicit PackageTextParser(RecordFn onRecord) : onRecord_(std::move(onRecord)) {}

    bool Feed(std::string_view chunk);
    // Takes a last line without a break.
    bool Finish();

    std::size_t Lines() const { return lines_; }
    // What was wrong with the first bad line; empty while all is well.
    const std::string& Problem() const { return problem_; }
    // Whether that line was too long rather than short of fields.
    bool LineTooLong() const { return lineTooLong_; }

private:
    bool EndLine();

    RecordFn onRecord_;
    std::string line_;
    bool afterCr_ = false;
    std::size_t lines_ = 0;
    std::string problem_;
    bool lineTooLong_ = false;
};
