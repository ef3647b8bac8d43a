#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The machine-wide registry, kept as files in regedit's export format: one file per key
// under a root folder, so that key "HKEY_LOCAL_MACHINE\SOFTWARE\Vendor" lives in
// <root>/HKEY_LOCAL_MACHINE/SOFTWARE/Vendor.reg. Only DWORD values are understood; every
// other line of a key file is kept exactly as it is.
class RegistryKey {
public:
    // Opens a key for reading and writing, creating its folders and its file when missing.
    // nullopt when the key path is malformed or the key cannot be created or written.
    static std::optional<RegistryKey> OpenForWrite(const std::filesystem::path& root,
                                                   const std::string& keyPath);

    // nullopt when the value is missing or is not a well-formed DWORD.
    std::optional<std::uint32_t> ReadDword(const std::string& name) const;
    // Replaces the whole file at once, so a crash leaves either the old or the new key.
    bool WriteDword(const std::string& name, std::uint32_t value);

    const std::filesystem::path& file() const { return file_; }

private:
    RegistryKey(std::string keyPath, std::filesystem::path file)
        : keyPath_(std::move(keyPath)), file_(std::move(file)) {}

    std::string keyPath_;
    std::filesystem::path file_;
};

// Adds one to a DWORD counter, creating it at 1 when missing. The counter stays at
// 0xFFFFFFFF rather than wrapping to 0. Returns false, having changed nothing, when the
// key cannot be opened or written.
bool IncrementRegistryCounter(const std::filesystem::path& root, const std::string& keyPath,
                              const std::string& name);
