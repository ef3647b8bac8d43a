#include "platform/registry.h"

#include "platform/files.h"
#include "platform/strings.h"

#include <cctype>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr char kDwordPrefix[] = "dword:";

// The key's file: one folder per path element, the last element with ".reg". Elements that
// could leave the root ("..", "/") make the path unusable.
std::optional<std::filesystem::path> KeyFile(const std::filesystem::path& root,
                                             const std::string& keyPath) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto end = keyPath.find('\\', start);
        parts.push_back(keyPath.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    std::filesystem::path file = root;
    for (const std::string& part : parts) {
        if (part.empty() || part == "." || part == ".." ||
            part.find_first_of(std::string("/\0", 2)) != std::string::npos) {
            return std::nullopt;
        }
        file /= part;
    }
    file += ".reg";
    return file;
}

struct KeyText {
    std::vector<TextLine> lines;
};

// A missing file is an empty key. nullopt when the file exists but cannot be read (not a
// regular file, too large, read error), or is a UTF-16 export (regedit's own default),
// which rewriting as bytes would ruin.
std::optional<KeyText> Load(const std::filesystem::path& file) {
    const FileContents contents = ReadSmallFile(file);
    if (contents.status.error == FileError::NotFound) {
        return KeyText{};
    }
    if (!contents.status) {
        return std::nullopt;
    }
    const std::string& text = contents.bytes;
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        return std::nullopt;
    }
    return KeyText{SplitLines(text)};
}

// A line "name"=data, the name with regedit's escapes (\\ and \") undone.
struct ValueLine {
    std::string name;
    std::string data;
};

std::optional<ValueLine> ParseValueLine(const std::string& line) {
    if (line.empty() || line.front() != '"') {
        return std::nullopt;
    }
    ValueLine value;
    std::size_t i = 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
        }
        value.name += line[i];
    }
    if (i >= line.size()) {
        return std::nullopt;
    }
    const std::string rest = Trim(line.substr(i + 1));
    if (rest.empty() || rest.front() != '=') {
        return std::nullopt;
    }
    value.data = Trim(rest.substr(1));
    return value;
}

std::optional<std::uint32_t> ParseDword(const std::string& data) {
    const std::size_t prefix = sizeof(kDwordPrefix) - 1;
    if (data.size() <= prefix || data.size() > prefix + 8 ||
        !EqualsIgnoreCase(data.substr(0, prefix), kDwordPrefix)) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = prefix; i < data.size(); ++i) {
        const char c = data[i];
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string DwordLine(const std::string& name, std::uint32_t value) {
    std::string escaped;
    for (const char c : name) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c;
    }
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", value);
    return "\"" + escaped + "\"=" + kDwordPrefix + digits;
}

bool IsSectionHeader(const std::string& line) {
    return !line.empty() && line.front() == '[';
}

std::string SectionHeader(const std::string& keyPath) {
    return "[" + keyPath + "]";
}

// Lines [first, last) that belong to the key's own section; nullopt when it has none.
struct Section {
    std::size_t first;
    std::size_t last;
};

std::optional<Section> FindSection(const KeyText& key, const std::string& keyPath) {
    const std::string header = SectionHeader(keyPath);
    for (std::size_t i = 0; i < key.lines.size(); ++i) {
        if (EqualsIgnoreCase(Trim(key.lines[i].text), header)) {
            std::size_t end = i + 1;
            while (end < key.lines.size() && !IsSectionHeader(key.lines[end].text)) {
                ++end;
            }
            return Section{i + 1, end};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> FindValue(const KeyText& key, const Section& section,
                                     const std::string& name) {
    for (std::size_t i = section.first; i < section.last; ++i) {
        if (auto value = ParseValueLine(key.lines[i].text);
            value && EqualsIgnoreCase(value->name, name)) {
            return i;
        }
    }
    return std::nullopt;
}

void SetValueLine(KeyText& key, const std::string& keyPath, const std::string& line,
                  const std::string& name) {
    auto section = FindSection(key, keyPath);
    if (!section) {
        if (key.lines.empty()) {
            AppendLine(key.lines, kHeader);
        }
        if (!Trim(key.lines.back().text).empty()) {
            AppendLine(key.lines, "");
        }
        AppendLine(key.lines, SectionHeader(keyPath));
        AppendLine(key.lines, line);
        AppendLine(key.lines, "");
        return;
    }
    if (auto existing = FindValue(key, *section, name)) {
        key.lines[*existing].text = line; // keeps the line's own ending
        return;
    }
    // After the section's last non-blank line, so the blank line that ends it stays last.
    std::size_t at = section->first;
    for (std::size_t i = section->first; i < section->last; ++i) {
        if (!Trim(key.lines[i].text).empty()) {
            at = i + 1;
        }
    }
    if (at == key.lines.size()) {
        AppendLine(key.lines, line);
        return;
    }
    const std::string eol = PrevalentLineEnding(key.lines);
    key.lines.insert(key.lines.begin() + static_cast<std::ptrdiff_t>(at), TextLine{line, eol});
}

} // namespace

std::optional<RegistryKey> RegistryKey::OpenForWrite(const std::filesystem::path& root,
                                                     const std::string& keyPath) {
    const auto file = KeyFile(root, keyPath);
    if (!file) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::create_directories(file->parent_path(), error);
    if (error) {
        return std::nullopt;
    }
    // Only a missing file is created; anything unreadable at the path is left alone.
    const FileResult existing = ReadSmallFile(*file).status;
    if (existing.error == FileError::NotFound) {
        const std::string empty = std::string(kHeader) + "\n\n" + SectionHeader(keyPath) + "\n\n";
        if (!ReplaceFileAtomically(*file, empty)) {
            return std::nullopt;
        }
    } else if (!existing) {
        return std::nullopt;
    }
    if (::access(file->parent_path().c_str(), W_OK) != 0 || ::access(file->c_str(), W_OK) != 0) {
        return std::nullopt;
    }
    return RegistryKey(keyPath, *file);
}

std::optional<std::uint32_t> RegistryKey::ReadDword(const std::string& name) const {
    const auto loaded = Load(file_);
    if (!loaded) {
        return std::nullopt;
    }
    const KeyText& key = *loaded;
    const auto section = FindSection(key, keyPath_);
    if (!section) {
        return std::nullopt;
    }
    const auto line = FindValue(key, *section, name);
    if (!line) {
        return std::nullopt;
    }
    return ParseDword(ParseValueLine(key.lines[*line].text)->data);
}

bool RegistryKey::WriteDword(const std::string& name, std::uint32_t value) {
    auto key = Load(file_);
    if (!key) {
        return false;
    }
    SetValueLine(*key, keyPath_, DwordLine(name, value), name);
    return static_cast<bool>(ReplaceFileAtomically(file_, JoinLines(key->lines)));
}

bool IncrementRegistryCounter(const std::filesystem::path& root, const std::string& keyPath,
                              const std::string& name) {
    auto key = RegistryKey::OpenForWrite(root, keyPath);
    if (!key) {
        return false;
    }
    const std::uint32_t count = key->ReadDword(name).value_or(0);
    return key->WriteDword(name, count == UINT32_MAX ? count : count + 1);
}
