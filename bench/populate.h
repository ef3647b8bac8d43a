#pragma once

#include <filesystem>

// Makes a database with the seed areas and `records` contacts spread over the 34
// provinces, each with its own insertion time.
void Populate(const std::filesystem::path& db, int records);
