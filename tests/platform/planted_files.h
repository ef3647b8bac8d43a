#pragma once

#include "platform/files.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

// Things at a settings or key file's path that must count as unreadable. Tests run as
// root, who can read any mode, so these are things that are not a small regular file.
enum class Planted { Folder, Fifo, OverLimit, LinkToDevZero };

struct UnreadableCase {
    std::string name;
    Planted what;
    FileError error;
};

inline void PlantUnreadable(const std::filesystem::path& file, Planted what) {
    switch (what) {
    case Planted::Folder:
        std::filesystem::create_directory(file);
        std::filesystem::create_directory(file / "inside");
        break;
    case Planted::Fifo:
        ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
        break;
    case Planted::OverLimit:
        WriteFileBytes(file, "[LOGIN]\nAREA=1\n" + std::string(kSmallFileLimit, ';'));
        break;
    case Planted::LinkToDevZero:
        std::filesystem::create_symlink("/dev/zero", file);
        break;
    }
}

inline const std::vector<UnreadableCase> kUnreadable = {
    {"Folder", Planted::Folder, FileError::NotRegular},
    {"Fifo", Planted::Fifo, FileError::NotRegular},
    {"OverOneMebibyte", Planted::OverLimit, FileError::TooLarge},
    {"LinkToDevZero", Planted::LinkToDevZero, FileError::NotRegular},
};

inline std::string UnreadableName(const testing::TestParamInfo<UnreadableCase>& info) {
    return info.param.name;
}

// What is at the path, to show that a refused write left it as it was.
inline std::string WhatIsAt(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    const auto status = fs::symlink_status(file);
    if (fs::is_symlink(status)) {
        return "link to " + fs::read_symlink(file).string();
    }
    if (fs::is_directory(status)) {
        return "folder of " + std::to_string(std::distance(fs::directory_iterator(file),
                                                           fs::directory_iterator()));
    }
    if (fs::is_fifo(status)) {
        return "fifo";
    }
    return "file of " + std::to_string(fs::file_size(file));
}
