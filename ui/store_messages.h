#pragma once

#include "store/database.h"

#include <QString>
#include <filesystem>

// The operator's words for a database that could not be read or written.
QString DatabaseFailureText(const StoreStatus& status);

// Prepares the database's tables at start-up; when that fails, says so in the start-up's
// box (no icon, abort / retry / ignore, every answer ends the program) and returns false.
bool PrepareDatabaseTables(const std::filesystem::path& database);

// The words for a config.ini that could not be written.
QString SettingsWriteFailureText(const std::filesystem::path& config);
