#include "store/database.h"

#include "platform/text.h"

#include <sqlcipher/sqlite3.h>

#include <cstring>

sqlite3* OpenKeyedDatabase(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_key(db, kDatabaseKey, static_cast<int>(std::strlen(kDatabaseKey)));
    const std::string settings = "PRAGMA kdf_iter = " + std::to_string(kKdfIterations) +
                                 "; PRAGMA cipher_page_size = " + std::to_string(kCipherPageSize) +
                                 ";";
    sqlite3_exec(db, settings.c_str(), nullptr, nullptr, nullptr);
    return db;
}

void CloseDatabase(sqlite3* db) {
    sqlite3_close(db);
}

bool DatabaseIsReadable(sqlite3* db) {
    return db && sqlite3_exec(db, "select count(*) from sqlite_master;", nullptr, nullptr,
                              nullptr) == SQLITE_OK;
}

bool ExecuteStatement(const std::string& gbk, sqlite3* db) {
    return sqlite3_exec(db, GbkToUtf8(gbk).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string SqlLiteral(const std::string& value) {
    std::string literal = "'";
    for (char c : value) {
        literal += c;
        if (c == '\'') {
            literal += '\'';
        }
    }
    return literal + "'";
}

bool QueryRows(sqlite3* db, const std::string& gbk, const RowCallback& onRow) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, GbkToUtf8(gbk).c_str(), -1, &stmt, nullptr) != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        return false;
    }
    const int columns = sqlite3_column_count(stmt);
    std::vector<std::string> row(columns);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            const auto* text = sqlite3_column_text(stmt, i);
            row[i] = text ? Utf8ToGbk(reinterpret_cast<const char*>(text)) : std::string();
        }
        onRow(row);
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}
