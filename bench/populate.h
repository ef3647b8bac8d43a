#pragma once

#include <filesystem>

// Makes a database with the seed areas and `records` contacts spread over the 34
// provinces, each with its own insertion time.
void Populate(const std::filesystem::path& db, int records);

// A register as one looks after years of use, built once into a file under the system's
// temporary folder and reused by later runs (a build cut short leaves no file behind).
// Identifiers are the program's digests, so in random order; Add_Time spreads over ten
// years in the order of insertion, and most records share their second with many others,
// as the rows of an import do. Nothing must write to the file it returns: copy it first.
std::filesystem::path LongUsedRegister(int records);
