// Writes small zip archives for the .xlsx tests: each named part with its text.
#pragma once

#include <minizip/zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace zipper {

using Parts = std::vector<std::pair<std::string, std::string>>;

// Parts named in `stored` are kept as they are rather than deflated.
inline std::vector<std::uint8_t> Zip(const Parts& parts,
                                     const std::vector<std::string>& stored = {}) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("quillon-zip-" + std::to_string(::getpid()) + ".zip");
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [name, text] : parts) {
        const bool keep = std::find(stored.begin(), stored.end(), name) != stored.end();
        zipOpenNewFileInZip64(zip, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                              keep ? 0 : Z_DEFLATED, keep ? 0 : Z_DEFAULT_COMPRESSION, 1);
        zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

} // namespace zipper
