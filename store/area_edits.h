#pragma once

#include "store/database.h"

#include <filesystem>
#include <string>

// Changes to the area hierarchy, each on a connection of its own. An action of more than
// one statement runs in one transaction: it happens whole or not at all. Texts are GB18030.

// Where a row stands in the hierarchy; it decides what follows a change.
enum class AreaLevel { Province, City, County };

// Adds the row. Fails when its code is taken.
StoreStatus InsertArea(const std::filesystem::path& db, const std::string& code,
                       const std::string& parentCode, const std::string& name);

// Gives the row of oldCode a new code and name; its parent stays. Under a province or a
// city whose code changed, the children move to the new code too: a county keeps its
// own children, if it has any, where they were. Fails when the new code is taken.
StoreStatus EditArea(const std::filesystem::path& db, AreaLevel level, const std::string& oldCode,
                     const std::string& newCode, const std::string& newName);

// Deletes the row of that code with what belongs to it: a province its cities and their
// counties, a city its counties, a county nothing else.
StoreStatus DeleteArea(const std::filesystem::path& db, AreaLevel level, const std::string& code);
