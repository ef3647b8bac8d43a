#pragma once

#include "platform/files.h"
#include "platform/ini_file.h"

#include <filesystem>
#include <string>

// The one setting: the area code the operator chose at the first login, in config.ini,
// section LOGIN, key AREA.

// Creates config.ini with an empty AREA when nothing is at the path; an existing file is
// left exactly as it is. Throws std::runtime_error, naming the reason, when the file cannot
// be created, or when the path holds something that is not a readable settings file (a
// folder, a FIFO, a file over the size limit), which is never created over.
bool EnsureSettingsFile(const std::filesystem::path& config);

// The stored code, or "" when none is stored or the file cannot be read.
std::string ReadLoginAreaCode(const std::filesystem::path& config);
// The same, telling an unreadable file apart from an empty setting.
IniValue ReadLoginAreaSetting(const std::filesystem::path& config);
FileResult WriteLoginAreaCode(const std::filesystem::path& config, const std::string& code);
