#pragma once

#include "store/database.h"

#include <filesystem>

// Prepares the database at start-up: the area table with its seed rows, the contact table
// and its indexes. Fails, saying why, when the file cannot be opened or read with the
// program's key; the caller then ends the program. A file that cannot be read is never
// overwritten.
StoreStatus CreateSchema(const std::filesystem::path& database);
