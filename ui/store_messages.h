#pragma once

#include "store/database.h"

#include <QString>
#include <filesystem>

// The operator's words for a database that could not be read or written.
QString DatabaseFailureText(const StoreStatus& status);

// Makes the search index one the program can trust (see EnsureSearchIndex) on a thread of
// its own, with a progress window when that takes over a second.
void PrepareSearchIndex(const std::filesystem::path& database);

// Prepares the database's tables and the search index at start-up; when that fails, says so in the
// start-up's box (no icon, abort / retry / ignore, every answer ends the program) and returns
// false.
bool PrepareDatabaseTables(const std::filesystem::path& database);

// The words for a config.ini that could not be written.
QString SettingsWriteFailureText(const std::filesystem::path& config);
