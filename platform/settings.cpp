#include "platform/settings.h"

#include <stdexcept>

namespace {
constexpr char kSection[] = "LOGIN";
constexpr char kKey[] = "AREA";
} // namespace

bool EnsureSettingsFile(const std::filesystem::path& config) {
    const FileContents existing = ReadSmallFile(config);
    if (existing.status) {
        return true;
    }
    if (existing.status.error != FileError::NotFound) {
        throw std::runtime_error("Cannot use " + config.string() + ": " + existing.status.detail);
    }
    if (const FileResult written = WriteIniValue(config, kSection, kKey, ""); !written) {
        throw std::runtime_error("Cannot create " + config.string() + ": " + written.detail);
    }
    return true;
}

std::string ReadLoginAreaCode(const std::filesystem::path& config) {
    return ReadLoginAreaSetting(config).value;
}

IniValue ReadLoginAreaSetting(const std::filesystem::path& config) {
    return ReadIniEntry(config, kSection, kKey);
}

FileResult WriteLoginAreaCode(const std::filesystem::path& config, const std::string& code) {
    return WriteIniValue(config, kSection, kKey, code);
}
