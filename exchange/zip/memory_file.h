#pragma once

#include <minizip/ioapi.h>

#include <cstdint>
#include <string>
#include <string_view>

// An archive in memory as minizip's file layer sees it: read from a view, or written
// (with the seeks back that fill in a local header's sizes) into a string.
struct ZipMemoryFile {
    std::string_view in;
    std::string* out = nullptr;
    std::uint64_t pos = 0;
    bool error = false;

    std::uint64_t Size() const { return out ? out->size() : in.size(); }
};

// minizip's file functions over file, which must outlive every use of them.
zlib_filefunc64_def ZipMemoryFunctions(ZipMemoryFile& file);
