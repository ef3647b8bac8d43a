#include "platform/ini_file.h"

#include "platform/strings.h"

#include <optional>
#include <vector>

namespace {

std::optional<std::string> SectionName(const std::string& line) {
    const std::string t = Trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
        return Trim(t.substr(1, t.size() - 2));
    }
    return std::nullopt;
}

// Key of a "key=value" line, if it is one.
std::optional<std::string> KeyName(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, eq));
}

struct Loaded {
    FileResult status;
    std::vector<TextLine> lines;
};

// A missing file is an empty one.
Loaded Load(const std::filesystem::path& file) {
    FileContents contents = ReadSmallFile(file);
    if (!contents.status) {
        return {contents.status, {}};
    }
    return {{}, SplitLines(contents.bytes)};
}

bool MissingOnly(const FileResult& status) {
    return status.error == FileError::NotFound;
}

void InsertEntry(std::vector<TextLine>& lines, std::optional<std::size_t> sectionEnd,
                 const std::string& section, const std::string& entry) {
    if (!sectionEnd) {
        AppendLine(lines, "[" + section + "]");
        AppendLine(lines, entry);
        return;
    }
    if (*sectionEnd == lines.size()) {
        AppendLine(lines, entry);
        return;
    }
    const std::string eol = PrevalentLineEnding(lines);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), TextLine{entry, eol});
}

} // namespace

IniValue ReadIniEntry(const std::filesystem::path& file, const std::string& section,
                      const std::string& key, const std::string& fallback) {
    const Loaded ini = Load(file);
    bool inSection = false;
    for (const TextLine& line : ini.lines) {
        if (auto name = SectionName(line.text)) {
            inSection = EqualsIgnoreCase(*name, section);
        } else if (auto k = KeyName(line.text); inSection && k && EqualsIgnoreCase(*k, key)) {
            return {ini.status, Trim(line.text.substr(line.text.find('=') + 1))};
        }
    }
    return {ini.status, fallback};
}

std::string ReadIniValue(const std::filesystem::path& file, const std::string& section,
                         const std::string& key, const std::string& fallback) {
    return ReadIniEntry(file, section, key, fallback).value;
}

FileResult WriteIniValue(const std::filesystem::path& file, const std::string& section,
                         const std::string& key, const std::string& value) {
    Loaded ini = Load(file);
    if (!ini.status && !MissingOnly(ini.status)) {
        return ini.status;
    }
    const std::string entry = key + "=" + value;
    std::optional<std::size_t> sectionEnd; // index after the section's last line
    bool inSection = false;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        TextLine& line = ini.lines[i];
        if (auto name = SectionName(line.text)) {
            inSection = EqualsIgnoreCase(*name, section);
            if (inSection) {
                sectionEnd = i + 1;
            }
        } else if (inSection) {
            if (auto k = KeyName(line.text); k && EqualsIgnoreCase(*k, key)) {
                line.text = entry; // keeps this line's own ending
                return ReplaceFileAtomically(file, JoinLines(ini.lines));
            }
            if (!Trim(line.text).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    InsertEntry(ini.lines, sectionEnd, section, entry);
    return ReplaceFileAtomically(file, JoinLines(ini.lines));
}
