#pragma once

#include <filesystem>
#include <string>

// The one setting: the area code the operator chose at the first login, in config.ini,
// section LOGIN, key AREA.

// Creates config.ini with an empty AREA when it does not exist; an existing file is left
// exactly as it is. Throws std::runtime_error when the file cannot be created.
bool EnsureSettingsFile(const std::filesystem::path& config);

std::string ReadLoginAreaCode(const std::filesystem::path& config);
bool WriteLoginAreaCode(const std::filesystem::path& config, const std::string& code);
