#pragma once

#include "platform/text.h"
#include "store/contact_store.h"
#include "store/schema.h"
#include "support/temp_dir.h"
#include "support/tick_clock.h"

#include "crypto/uiid.h"

#include <gtest/gtest.h>

#include <cstdio>

// A fresh database made by the start-up bootstrap, with a clock that ticks one second per
// insert so that "newest first" is well defined.
class StoreTest : public ::testing::Test {
protected:
    StoreTest() : store(dir / "mydb", [this] { return clock(); }) {
        EXPECT_TRUE(CreateSchema(dir / "mydb"));
    }

    static ContactRecord Record(const std::string& name, const std::string& mobile,
                                const std::string& province = Gb18030("北京市")) {
        ContactRecord r;
        r[kUser_Name] = name;
        r[kMobile_NO] = mobile;
        r[kUser_Sex] = Gb18030("男");
        r[kUser_Birthday] = "1980-02-03";
        r[kUser_Education] = Gb18030("大学");
        r[kRecode_Type] = Gb18030("村");
        r[kProvince] = province;
        r[kCity] = Gb18030("东城区");
        r[kCounty_Seat] = "";
        r[kOrganization_Detial] = Gb18030("某单位 书记");
        r[kUI_ID] = MakeUIID(name, mobile);
        return r;
    }

    ContactInsert TryInsert(const ContactRecord& r, bool sameNameAgreed = false) {
        EXPECT_TRUE(store.OpenContactDatabase());
        const ContactInsert outcome = store.InsertContactRow(r, sameNameAgreed);
        store.CloseContactDatabase();
        return outcome;
    }
    bool Insert(const ContactRecord& r, bool sameNameAgreed = false) {
        return TryInsert(r, sameNameAgreed) == ContactInsert::Done;
    }

    std::vector<ContactRecord> Page(int page, const std::string& area = Gb18030("全国")) {
        std::vector<ContactRecord> records;
        EXPECT_TRUE(store.SelectContactPage(page, area, records));
        return records;
    }

    int Count(const std::string& area = Gb18030("全国")) {
        const StoreResult<int> count = store.CountContactsForExport(area);
        EXPECT_TRUE(count) << count.status().detail;
        return count.value_or(-1);
    }

    TempDir dir;
    TickClock clock;
    ContactStore store;
};
