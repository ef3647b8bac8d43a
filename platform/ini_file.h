#pragma once

#include "platform/files.h"

#include <filesystem>
#include <string>

// Reads and writes one key of an initialisation file the way the private-profile calls do:
// section and key names match without regard to case, other lines are kept byte for byte
// (each with its own line ending), and writing creates the file, the section or the key
// when missing. A file that exists but cannot be read (not a regular file, over
// kSmallFileLimit, read error) is never rewritten: its other sections would be lost.

struct IniValue {
    FileResult status; // NotFound for a missing file, which is not a failure to read
    std::string value; // the fallback unless the key was found
    bool readable() const { return status || status.error == FileError::NotFound; }
};

IniValue ReadIniEntry(const std::filesystem::path& file, const std::string& section,
                      const std::string& key, const std::string& fallback = {});
// The value, or the fallback when the key is missing or the file unreadable.
std::string ReadIniValue(const std::filesystem::path& file, const std::string& section,
                         const std::string& key, const std::string& fallback = {});
// New lines take the ending most of the file's lines use (see PrevalentLineEnding).
FileResult WriteIniValue(const std::filesystem::path& file, const std::string& section,
                         const std::string& key, const std::string& value);
