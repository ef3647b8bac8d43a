#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;

// The passphrase of every database file: a constant of the program.
inline constexpr char kDatabaseKey[] = "lanternz73916";

// Key derivation rounds applied with the passphrase. The passphrase is a constant of the
// program, so slow derivation protects nothing, yet the default of 64,000 rounds costs
// ~33 ms on every open and every operation opens the file afresh. This is part of the file
// format: a file made with one count opens only with the same count. Never change it.
inline constexpr int kKdfIterations = 256;

// Cipher page size in bytes; part of the file format like the derivation count. Larger
// pages mean fewer page MACs to check when the list counts a large register.
inline constexpr int kCipherPageSize = 65536;

// Opens and keys a database file; nullptr when it cannot be opened.
sqlite3* OpenKeyedDatabase(const std::filesystem::path& file);
void CloseDatabase(sqlite3* db);

// Whether the keyed file can actually be read: a damaged file or one with another key
// opens fine and fails only at the first statement.
bool DatabaseIsReadable(sqlite3* db);

// Runs a GBK statement (converted to UTF-8) without reading results.
bool ExecuteStatement(const std::string& gbk, sqlite3* db);

// A value as one SQL string literal: quoted, with every single quote doubled.
std::string SqlLiteral(const std::string& value);

// Runs a GBK query and hands each row's column texts, converted to GBK (NULL as ""), to
// the callback. Returns false when the statement could not be prepared or failed.
using RowCallback = std::function<void(const std::vector<std::string>& row)>;
bool QueryRows(sqlite3* db, const std::string& gbk, const RowCallback& onRow);
