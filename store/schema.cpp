#include "store/schema.h"

#include "platform/text.h"
#include "store/areas.h"
#include "store/contact_store.h"
#include "store/database.h"

#include <sqlcipher/sqlite3.h>

namespace {

void SeedAreas(sqlite3* db) {
    const char* create = "create table IF NOT EXISTS t_area( UI_ID VARCHAR(64) primary key, "
                         "Parent_ID VARCHAR(64), Area_Name VARCHAR(256) );";
    if (sqlite3_exec(db, create, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    // On a seeded database each statement fails on the primary key and changes nothing.
    for (const std::string& statement : AreaSeedStatements()) {
        ExecuteStatement(statement, db);
    }
}

} // namespace

bool CreateSchema(const std::filesystem::path& database, Prompter& prompter) {
    sqlite3* db = OpenKeyedDatabase(database);
    if (!DatabaseIsReadable(db)) {
        if (db) {
            CloseDatabase(db);
        }
        prompter.Show(MessageKind::Plain, Gbk("数据库表打开(创建)失败！"),
                      MessageButtons::AbortRetryIgnore, Gbk("提示"));
        return false;
    }
    SeedAreas(db);
    CloseDatabase(db);

    if (sqlite3* contacts = OpenKeyedDatabase(database)) {
        ExecuteStatement(ContactTableCreateStatement(), contacts);
        ExecuteStatement(ContactIndexStatements(), contacts);
        CloseDatabase(contacts);
    }
    return true;
}
