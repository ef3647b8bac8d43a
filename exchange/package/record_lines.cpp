#include "exchange/package/record_lines.h"

#include <algorithm>

namespace {

// "，" in GB18030.
constexpr char kFullWidthComma[] = "\xA3\xAC";

std::vector<std::string_view> SplitAtCommas(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(comma + 1);
    }
}

} // namespace

std::string MendedPackageValue(std::string_view value) {
    std::string mended;
    mended.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ',') {
            mended += kFullWidthComma;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
                ++i;
            }
            mended += ' ';
        } else {
            mended += c;
        }
    }
    return mended;
}

void AppendPackageLine(const ContactRecord& record, std::string& text) {
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (i != 0) {
            text += ',';
        }
        text += MendedPackageValue(record[i]);
    }
    text += "\r\n";
}

std::string PackageText(const std::vector<ContactRecord>& records) {
    std::string text;
    for (const ContactRecord& record : records) {
        AppendPackageLine(record, text);
    }
    return text;
}

bool RecordFromPackageLine(std::string_view line, ContactRecord& record) {
    const std::vector<std::string_view> fields = SplitAtCommas(line);
    if (fields.size() < kContactFieldCount) {
        return false;
    }
    for (int i = 0; i < kOrganization_Detial; ++i) {
        record[i] = fields[i];
    }
    std::string organization(fields[kOrganization_Detial]);
    for (std::size_t i = kOrganization_Detial + 1; i + 1 < fields.size(); ++i) {
        organization += ',';
        organization += fields[i];
    }
    record[kOrganization_Detial] = std::move(organization);
    record[kMobile_NO] = fields.back();
    return true;
}

bool PackageTextParser::Feed(std::string_view chunk) {
    while (!chunk.empty() && problem_.empty()) {
        if (afterCr_ && chunk.front() == '\n') {
            chunk.remove_prefix(1);
        }
        afterCr_ = false;
        const std::size_t end = chunk.find_first_of("\r\n");
        const std::string_view piece = chunk.substr(0, end);
        if (line_.size() + piece.size() > kMaxLine) {
            problem_ = "line " + std::to_string(lines_ + 1) + " is longer than " +
                       std::to_string(kMaxLine) + " bytes";
            lineTooLong_ = true;
            return false;
        }
        line_.append(piece);
        if (end == std::string_view::npos) {
            return true;
        }
        afterCr_ = chunk[end] == '\r';
        chunk.remove_prefix(end + 1);
        if (!EndLine()) {
            return false;
        }
    }
    return problem_.empty();
}

bool PackageTextParser::Finish() {
    if (!problem_.empty()) {
        return false;
    }
    return line_.empty() || EndLine();
}

bool PackageTextParser::EndLine() {
    ++lines_;
    ContactRecord record;
    if (!RecordFromPackageLine(line_, record)) {
        const std::size_t fields =
            line_.empty() ? 0 : std::count(line_.begin(), line_.end(), ',') + 1;
        problem_ = "line " + std::to_string(lines_) + " has " + std::to_string(fields) +
                   " fields instead of " + std::to_string(kContactFieldCount);
        return false;
    }
    line_.clear();
    onRecord_(std::move(record));
    return true;
}
