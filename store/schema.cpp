#include "store/schema.h"

#include "platform/text.h"
#include "store/areas.h"
#include "store/contact_store.h"
#include "store/database.h"

namespace {

void SeedAreas(const Connection& db) {
    if (!db.Execute("create table IF NOT EXISTS t_area( UI_ID VARCHAR(64) primary key, "
                    "Parent_ID VARCHAR(64), Area_Name VARCHAR(256) );")) {
        return;
    }
    // On a seeded database each statement fails on the primary key and changes nothing.
    for (const std::string& statement : AreaSeedStatements()) {
        db.Execute(statement);
    }
}

} // namespace

bool CreateSchema(const std::filesystem::path& database, Prompter& prompter) {
    const StoreResult<Connection> db = Connection::Open(database);
    if (!db) {
        prompter.Show(MessageKind::Plain, Gbk("数据库表打开(创建)失败！"),
                      MessageButtons::AbortRetryIgnore, Gbk("提示"));
        return false;
    }
    SeedAreas(db.value());
    // On an existing database the table exists already; only the indexes may be new.
    db.value().Execute(ContactTableCreateStatement());
    db.value().Execute(ContactIndexStatements());
    return true;
}
