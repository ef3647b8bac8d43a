#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr char kDwordPrefix[] = "dword:";

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

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

std::optional<std::string> ReadAll(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (n < 0) {
        return std::nullopt;
    }
    return text;
}

struct KeyText {
    std::vector<std::string> lines;
    std::string eol = "\n";
};

// A missing file is an empty key. nullopt when the file exists but cannot be read, or is a
// UTF-16 export (regedit's own default), which rewriting as bytes would ruin.
std::optional<KeyText> Load(const std::filesystem::path& file) {
    KeyText key;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return error ? std::nullopt : std::optional<KeyText>(key);
    }
    const auto text = ReadAll(file);
    if (!text) {
        return std::nullopt;
    }
    if (text->starts_with("\xFF\xFE") || text->starts_with("\xFE\xFF")) {
        return std::nullopt;
    }
    if (text->find("\r\n") != std::string::npos) {
        key.eol = "\r\n";
    }
    std::size_t start = 0;
    while (start < text->size()) {
        auto end = text->find('\n', start);
        if (end == std::string::npos) {
            end = text->size();
        }
        std::string line = text->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        key.lines.push_back(std::move(line));
        start = end + 1;
    }
    return key;
}

std::string Join(const KeyText& key) {
    std::string text;
    for (const std::string& line : key.lines) {
        text += line + key.eol;
    }
    return text;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes beside the file and renames over it, keeping the old file's permissions.
bool ReplaceFile(const std::filesystem::path& file, const std::string& bytes) {
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    std::filesystem::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
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
    const std::string rest = TrimBlanks(line.substr(i + 1));
    if (rest.empty() || rest.front() != '=') {
        return std::nullopt;
    }
    value.data = TrimBlanks(rest.substr(1));
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
        if (EqualsIgnoreCase(TrimBlanks(key.lines[i]), header)) {
            std::size_t end = i + 1;
            while (end < key.lines.size() && !IsSectionHeader(key.lines[end])) {
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
        if (auto value = ParseValueLine(key.lines[i]);
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
            key.lines.push_back(kHeader);
        }
        if (!TrimBlanks(key.lines.back()).empty()) {
            key.lines.emplace_back();
        }
        key.lines.push_back(SectionHeader(keyPath));
        key.lines.push_back(line);
        key.lines.emplace_back();
        return;
    }
    if (auto existing = FindValue(key, *section, name)) {
        key.lines[*existing] = line;
        return;
    }
    // After the section's last non-blank line, so the blank line that ends it stays last.
    std::size_t at = section->first;
    for (std::size_t i = section->first; i < section->last; ++i) {
        if (!TrimBlanks(key.lines[i]).empty()) {
            at = i + 1;
        }
    }
    key.lines.insert(key.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
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
    if (!std::filesystem::exists(*file, error)) {
        const std::string empty = std::string(kHeader) + "\n\n" + SectionHeader(keyPath) + "\n\n";
        if (!ReplaceFile(*file, empty)) {
            return std::nullopt;
        }
    }
    if (!std::filesystem::is_regular_file(*file, error) ||
        ::access(file->parent_path().c_str(), W_OK) != 0 || ::access(file->c_str(), W_OK) != 0) {
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
    return ParseDword(ParseValueLine(key.lines[*line])->data);
}

bool RegistryKey::WriteDword(const std::string& name, std::uint32_t value) {
    auto key = Load(file_);
    if (!key) {
        return false;
    }
    SetValueLine(*key, keyPath_, DwordLine(name, value), name);
    return ReplaceFile(file_, Join(*key));
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
