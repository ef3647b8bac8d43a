#pragma once

#include "store/schema.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <stdexcept>

// Seeding the areas takes a while: a test program seeds one database by the start-up
// bootstrap and each test starts from a copy of it.
inline void CopySeededDatabase(const std::filesystem::path& to) {
    static const TempDir seeded;
    static const bool made = [] { return CreateSchema(seeded / "mydb").ok(); }();
    if (!made) {
        throw std::runtime_error("the seeded database could not be made");
    }
    std::filesystem::copy_file(seeded / "mydb", to);
}
