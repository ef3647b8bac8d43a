#include "store/area_edits.h"

#include <vector>

namespace {

// Runs the statements in order inside one transaction; the first failure undoes them all.
StoreStatus RunTogether(const std::filesystem::path& file,
                        const std::vector<std::string>& statements) {
    StoreResult<Connection> db = Connection::Open(file);
    if (!db) {
        return db.status();
    }
    Transaction transaction(db.value());
    if (!transaction.status()) {
        return transaction.status();
    }
    for (const std::string& statement : statements) {
        if (StoreStatus done = db.value().Execute(statement); !done) {
            return done;
        }
    }
    return transaction.Commit();
}

std::string DeleteChildrenOf(const std::string& code) {
    return "delete from t_area where Parent_ID = " + SqlLiteral(code);
}

std::string DeleteGrandchildrenOf(const std::string& code) {
    return "delete from t_area where Parent_ID in (select UI_ID from t_area where Parent_ID = " +
           SqlLiteral(code) + ")";
}

} // namespace

StoreStatus InsertArea(const std::filesystem::path& db, const std::string& code,
                       const std::string& parentCode, const std::string& name) {
    return RunTogether(db, {"insert into t_area (UI_ID,Parent_ID,Area_Name) values (" +
                            SqlLiteral(code) + "," + SqlLiteral(parentCode) + "," +
                            SqlLiteral(name) + ")"});
}

StoreStatus EditArea(const std::filesystem::path& db, AreaLevel level, const std::string& oldCode,
                     const std::string& newCode, const std::string& newName) {
    std::vector<std::string> statements = {"update t_area SET UI_ID = " + SqlLiteral(newCode) +
                                           ",Area_Name = " + SqlLiteral(newName) +
                                           " where UI_ID = " + SqlLiteral(oldCode)};
    if (level != AreaLevel::County && newCode != oldCode) {
        statements.push_back("update t_area SET Parent_ID = " + SqlLiteral(newCode) +
                             " where Parent_ID = " + SqlLiteral(oldCode));
    }
    return RunTogether(db, statements);
}

StoreStatus DeleteArea(const std::filesystem::path& db, AreaLevel level, const std::string& code) {
    std::vector<std::string> statements;
    if (level == AreaLevel::Province) {
        statements.push_back(DeleteGrandchildrenOf(code));
    }
    if (level != AreaLevel::County) {
        statements.push_back(DeleteChildrenOf(code));
    }
    statements.push_back("delete from t_area where UI_ID = " + SqlLiteral(code));
    return RunTogether(db, statements);
}
