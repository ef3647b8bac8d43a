#pragma once

#include "store/database.h"

#include <QString>
#include <filesystem>

// The operator's words for a database that could not be read or written.
QString DatabaseFailureText(const StoreStatus& status);

// The words for a config.ini that could not be written.
QString SettingsWriteFailureText(const std::filesystem::path& config);
