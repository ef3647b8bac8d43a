#pragma once

#include <filesystem>

// Every file the program uses lives in its installation folder, resolved once at start-up
// from the executable's own location, never from the working directory.
struct Installation {
    std::filesystem::path dir;
    std::filesystem::path database;  // "mydb"
    std::filesystem::path config;    // "config.ini"
    std::filesystem::path help;      // "help.chm"
    std::filesystem::path failedDir; // "导入失败数据"
    // Machine-wide registry stand-in: kMachineRegistry for the program, a folder of its own
    // inside a test's folder.
    std::filesystem::path registry;

    static constexpr char kMachineRegistry[] = "/var/lib/quillon/registry";

    // Everything inside dir, the registry stand-in included (for tests).
    static Installation InFolder(const std::filesystem::path& dir);
    // The folder of the running executable, with the machine's registry.
    static Installation OfExecutable();
    static std::filesystem::path ExecutablePath();
};
