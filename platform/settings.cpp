#include "platform/settings.h"

#include "platform/ini_file.h"

#include <stdexcept>

namespace {
constexpr char kSection[] = "LOGIN";
constexpr char kKey[] = "AREA";
} // namespace

bool EnsureSettingsFile(const std::filesystem::path& config) {
    std::error_code error;
    if (std::filesystem::exists(config, error)) {
        return true;
    }
    if (!WriteIniValue(config, kSection, kKey, "")) {
        throw std::runtime_error("Cannot create " + config.string());
    }
    return true;
}

std::string ReadLoginAreaCode(const std::filesystem::path& config) {
    return ReadIniValue(config, kSection, kKey);
}

bool WriteLoginAreaCode(const std::filesystem::path& config, const std::string& code) {
    return WriteIniValue(config, kSection, kKey, code);
}
