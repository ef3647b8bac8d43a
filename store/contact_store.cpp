#include "store/contact_store.h"

#include "platform/text.h"
#include "store/database.h"

#include <ctime>

namespace {

// Restricts a statement to the login area's province, unless the area is the whole country.
std::string ProvinceFilter(const std::string& keyword, const std::string& areaName) {
    if (areaName == WholeCountryName()) {
        return {};
    }
    return keyword + " Province = " + SqlLiteral(areaName);
}

std::string InsertStatement(const ContactRecord& r, const std::string& addTime) {
    return "insert into t_address_book (UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, "
           "User_Education, Organization_Detial, Recode_Type, Province, City, "
           "County_Seat,Add_Time) values(" +
           SqlLiteral(r[kUI_ID]) + ", " + SqlLiteral(r[kUser_Name]) + ", " +
           SqlLiteral(r[kMobile_NO]) + ", " + SqlLiteral(r[kUser_Sex]) + ", date(" +
           SqlLiteral(r[kUser_Birthday]) + "), " + SqlLiteral(r[kUser_Education]) + ", " +
           SqlLiteral(r[kOrganization_Detial]) + ", " + SqlLiteral(r[kRecode_Type]) + ", " +
           SqlLiteral(r[kProvince]) + ", " + SqlLiteral(r[kCity]) + ", " +
           SqlLiteral(r[kCounty_Seat]) + ", " + SqlLiteral(addTime) + ");";
}

// Page columns in select order, mapped to the record's fields (Add_Time is not read).
constexpr ContactField kPageColumns[] = {
    kUI_ID,         kUser_Name,      kMobile_NO,           kUser_Sex,
    kUser_Birthday, kUser_Education, kOrganization_Detial, kRecode_Type,
    kProvince,      kCity,           kCounty_Seat};

} // namespace

std::string WholeCountryName() {
    return Gbk("全国");
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string ContactTableCreateStatement() {
    return "create table t_address_book( UI_ID varchar(64) primary key, User_Name varchar(64), "
           "Mobile_NO varchar(20), User_Sex varchar(32), User_Birthday date, User_Education "
           "varhcar(64), Organization_Detial varchar(256), Recode_Type varchar(128), Province "
           "varchar(128), City varchar(128), County_Seat varchar(128), Add_Time varchar(128) );";
}

std::string ContactIndexStatements() {
    // book_province serves the province filter of the count and of the page.
    return "CREATE INDEX IF NOT EXISTS book_addTime ON t_address_book(Add_Time);"
           "CREATE INDEX IF NOT EXISTS book_province ON t_address_book(Province, Add_Time);";
}

std::string CountContactsStatement(const std::string& areaName) {
    return "select count(*) from t_address_book" + ProvinceFilter(" where", areaName);
}

std::string SelectContactPageStatement(int page, const std::string& areaName) {
    std::string sql = "select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, "
                      "User_Education, Organization_Detial,Recode_Type, Province, City, "
                      "County_Seat, Add_Time from t_address_book ";
    if (areaName != WholeCountryName()) {
        sql += "WHERE Province = " + SqlLiteral(areaName) + " ";
    }
    sql += "order by Add_Time DESC limit 200";
    if (page != 1) {
        sql += " OFFSET " +
               std::to_string(static_cast<long long>(page) * kContactsPerPage - kContactsPerPage);
    }
    return sql + ";";
}

ContactStore::ContactStore(std::filesystem::path database, Prompter& prompter, Clock clock)
    : database_(std::move(database)), prompter_(prompter), clock_(std::move(clock)) {}

ContactStore::~ContactStore() {
    CloseContactDatabase();
}

bool ContactStore::OpenContactDatabase() {
    CloseContactDatabase();
    db_ = OpenKeyedDatabase(database_);
    return db_ != nullptr;
}

bool ContactStore::CloseContactDatabase() {
    if (db_) {
        CloseDatabase(db_);
        db_ = nullptr;
    }
    return true;
}

bool ContactStore::ExecuteStatement(const std::string& gbk) {
    return ::ExecuteStatement(gbk, db_);
}

ContactStore::NameCheck ContactStore::CheckSameName(const ContactRecord& record) {
    bool sameName = false, sameMobile = false;
    const bool ok =
        QueryRows(db_,
                  "select Mobile_NO , User_Name from t_address_book where User_Name = " +
                      SqlLiteral(record[kUser_Name]),
                  [&](const std::vector<std::string>& row) {
                      sameName = true;
                      sameMobile = sameMobile || row[0] == record[kMobile_NO];
                  });
    if (!ok) {
        return NameCheck::Failed;
    }
    return sameMobile ? NameCheck::SameNameAndMobile
                      : (sameName ? NameCheck::SameName : NameCheck::Unique);
}

bool ContactStore::InsertContactRow(const ContactRecord& record) {
    switch (CheckSameName(record)) {
    case NameCheck::SameNameAndMobile:
        prompter_.Show(MessageKind::Information, Gbk("存在姓名和手机号相同的记录，请重新输入！"),
                       MessageButtons::Ok);
        return false;
    case NameCheck::SameName:
        if (prompter_.Show(MessageKind::Information, Gbk("存在姓名相同的记录，是否继续添加？"),
                           MessageButtons::OkCancel) != MessageAnswer::Ok) {
            return false;
        }
        break;
    case NameCheck::Unique:
    case NameCheck::Failed:
        break;
    }
    return ExecuteStatement(InsertStatement(record, clock_()));
}

bool ContactStore::DeleteContactRow(const std::string& id) {
    return ExecuteStatement("delete from t_address_book where UI_ID=" + SqlLiteral(id) + ";");
}

bool ContactStore::ReplaceContactRow(const std::string& oldId, const ContactRecord& record) {
    // One transaction, so a refused, cancelled or failed insert brings the old row back.
    if (!ExecuteStatement("begin transaction;")) {
        return false;
    }
    if (DeleteContactRow(oldId) && InsertContactRow(record) && ExecuteStatement("commit;")) {
        return true;
    }
    ExecuteStatement("rollback;");
    return false;
}

bool ContactStore::DropContactTable() {
    return ExecuteStatement("drop table IF EXISTS t_address_book");
}

bool ContactStore::CreateContactTable() {
    const bool created = ExecuteStatement(ContactTableCreateStatement());
    ExecuteStatement(ContactIndexStatements());
    return created;
}

int ContactStore::CountContacts(const std::string& areaName) {
    int count = 0;
    QueryRows(db_, CountContactsStatement(areaName),
              [&](const std::vector<std::string>& row) { count = std::atoi(row[0].c_str()); });
    return count;
}

bool ContactStore::SelectContactPage(int page, const std::string& areaName,
                                     std::vector<ContactRecord>& records) {
    records.clear();
    if (!OpenContactDatabase()) {
        return false;
    }
    QueryRows(db_, SelectContactPageStatement(page, areaName),
              [&](const std::vector<std::string>& row) {
                  ContactRecord& record = records.emplace_back();
                  for (std::size_t i = 0; i < std::size(kPageColumns); ++i) {
                      record[kPageColumns[i]] = row[i];
                  }
              });
    CloseContactDatabase();
    return true;
}

int ContactStore::CountContactsForExport(const std::string& areaName) {
    if (!OpenContactDatabase()) {
        return 0;
    }
    const int count = CountContacts(areaName);
    CloseContactDatabase();
    return count;
}
