#include "store/schema.h"

#include "store/areas.h"
#include "store/contact_store.h"
#include "store/database.h"
#include "store/search_index.h"

namespace {

StoreStatus SeedAreas(const Connection& db) {
    StoreStatus made = db.Execute("create table IF NOT EXISTS t_area( UI_ID VARCHAR(64) primary "
                                  "key, Parent_ID VARCHAR(64), Area_Name VARCHAR(256) );");
    if (!made) {
        return made;
    }
    // On a seeded database each statement fails on the primary key and changes nothing.
    for (const std::string& statement : AreaSeedStatements()) {
        db.Execute(statement);
    }
    return {};
}

} // namespace

StoreStatus CreateSchema(const std::filesystem::path& database) {
    const StoreResult<Connection> db = Connection::Open(database);
    if (!db) {
        return db.status();
    }
    if (StoreStatus seeded = SeedAreas(db.value()); !seeded) {
        return seeded;
    }
    // On an existing database the contact table exists already and its statement fails;
    // only the indexes may be new, and they only change speed. The search index of an
    // existing register is made by EnsureSearchIndex, which may take long.
    if (db.value().Execute(ContactTableCreateStatement())) {
        db.value().Execute(SearchIndexResetStatements());
    }
    db.value().Execute(ContactIndexStatements());
    return {};
}
