#pragma once

#include <filesystem>

// The program needs administrator rights (root here).
bool IsAdministrator();

// Starts the executable again through pkexec, detached from this process. Returns whether
// the start could be handed over; callers end this process either way.
bool RestartElevated(const std::filesystem::path& executable);
