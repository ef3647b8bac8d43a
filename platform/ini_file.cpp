#include "platform/ini_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

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

struct IniText {
    std::vector<std::string> lines;
    std::string eol = "\n";
};

IniText Load(const std::filesystem::path& file) {
    IniText ini;
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    if (text.find("\r\n") != std::string::npos) {
        ini.eol = "\r\n";
    }
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        ini.lines.push_back(line);
        start = end + 1;
    }
    return ini;
}

} // namespace

std::string ReadIniValue(const std::filesystem::path& file, const std::string& section,
                         const std::string& key, const std::string& fallback) {
    bool inSection = false;
    for (const std::string& line : Load(file).lines) {
        if (auto name = SectionName(line)) {
            inSection = EqualsIgnoreCase(*name, section);
        } else if (auto k = KeyName(line); inSection && k && EqualsIgnoreCase(*k, key)) {
            return Trim(line.substr(line.find('=') + 1));
        }
    }
    return fallback;
}

bool WriteIniValue(const std::filesystem::path& file, const std::string& section,
                   const std::string& key, const std::string& value) {
    IniText ini = Load(file);
    const std::string entry = key + "=" + value;
    std::optional<std::size_t> sectionEnd; // index after the section's last line
    bool inSection = false, written = false;
    for (std::size_t i = 0; i < ini.lines.size() && !written; ++i) {
        if (auto name = SectionName(ini.lines[i])) {
            inSection = EqualsIgnoreCase(*name, section);
            if (inSection) {
                sectionEnd = i + 1;
            }
        } else if (inSection) {
            if (auto k = KeyName(ini.lines[i]); k && EqualsIgnoreCase(*k, key)) {
                ini.lines[i] = entry;
                written = true;
            } else if (!Trim(ini.lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!written) {
        if (sectionEnd) {
            ini.lines.insert(ini.lines.begin() + *sectionEnd, entry);
        } else {
            ini.lines.push_back("[" + section + "]");
            ini.lines.push_back(entry);
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : ini.lines) {
        out << line << ini.eol;
    }
    out.close();
    return static_cast<bool>(out);
}
