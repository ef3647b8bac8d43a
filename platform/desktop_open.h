#pragma once

#include "platform/detached_process.h"

#include <filesystem>
#include <string>

// Opening a document (the help file) the way the desktop would: with the handler the
// desktop has registered for its type, else with the CHM viewer we install.

// The programs used and where they are looked for; tests point these at fakes.
struct DesktopPrograms {
    std::string searchPath;             // like PATH; empty means this process's PATH
    std::string mimeQuery = "xdg-mime"; // "query default <type>" names the handler
    std::string opener = "xdg-open";    // opens a file with the registered handler
    std::string viewer = "xchm";        // our own viewer for help files
};

enum class OpenedWith { Nothing, DesktopHandler, Viewer };
enum class OpenError { None, FileMissing, NoProgram, StartFailed };

struct OpenDocumentResult {
    OpenedWith way = OpenedWith::Nothing;
    OpenError error = OpenError::None;
    std::string detail; // the program that failed and the system's words
    explicit operator bool() const { return error == OpenError::None; }
};

// Returns once the program has been started (not when it ends).
OpenDocumentResult OpenDocumentWithDesktop(const std::filesystem::path& file,
                                           const DesktopPrograms& programs = {});

// The full path of an executable program found in searchPath, or empty.
std::filesystem::path FindProgram(const std::string& name, const std::string& searchPath);
