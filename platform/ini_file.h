#pragma once

#include <filesystem>
#include <string>

// Reads and writes one key of an initialisation file the way the private-profile calls do:
// section and key names match without regard to case, other lines are kept as they are,
// and writing creates the file, the section or the key when missing.
std::string ReadIniValue(const std::filesystem::path& file, const std::string& section,
                         const std::string& key, const std::string& fallback = {});
// Returns false when the file could not be written.
bool WriteIniValue(const std::filesystem::path& file, const std::string& section,
                   const std::string& key, const std::string& value);
