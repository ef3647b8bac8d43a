#include "phonebook_fixture.h"
#include "ui/dialog_buissness_card.h"
#include "ui/qt_text.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QTimer>
#include <QWheelEvent>

namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

class EditorTest : public PhoneBookTest {
protected:
    TCDialog_BuissnessCard& Editor() {
        if (!editor) {
            editor = std::make_unique<TCDialog_BuissnessCard>(installation, *Window().Manager(),
                                                              &Window());
        }
        return *editor;
    }
    template <typename T> T* Field(const char* name) {
        T* widget = Editor().findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QComboBox* Box(const char* name) { return Field<QComboBox>(name); }
    QLineEdit* Edit(const char* name) { return Field<QLineEdit>(name); }

    // Picks an item as the operator does, raising the box's choice handler.
    void Choose(const char* box, const QString& text) {
        QComboBox* combo = Box(box);
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // A complete, valid new contact in 北京市 without city or county.
    void FillValidContact(const QString& name = "张三", const QString& phone = "13588888888") {
        Edit("edt_name")->setText(name);
        Choose("cbb_sex", "男");
        Field<QDateEdit>("dtp_DataBirthday")->setDate(QDate(1980, 1, 2));
        Choose("cbb_education", "大学");
        Choose("cbb_type", "机关");
        Edit("edt_department")->setText("某单位 科长");
        Edit("edt_phone")->setText(phone);
    }

    // Runs act on the editor once it is up as a modal window; closes it if act did not.
    void WhenEditorOpens(std::function<void(TCDialog_BuissnessCard&)> act) {
        QTimer::singleShot(0, [act] {
            auto* open = qobject_cast<TCDialog_BuissnessCard*>(QApplication::activeModalWidget());
            ASSERT_NE(open, nullptr);
            act(*open);
            if (open->isVisible()) {
                open->reject();
            }
        });
    }

    std::vector<std::string> StoredNames() {
        std::vector<std::string> names;
        const StoreResult<Connection> db = Connection::Open(installation.database);
        EXPECT_TRUE(db);
        if (db) {
            db.value().Query("select User_Name, UI_ID from t_address_book order by User_Name",
                             [&](const std::vector<std::string>& row) {
                                 names.push_back(row[0] + "/" + row[1]);
                             });
        }
        return names;
    }

    // A complete record as another installation's package may bring it.
    static ContactRecord Arrived(const std::string& name, const std::string& phone) {
        ContactRecord r;
        r[kUser_Name] = name;
        r[kUser_Sex] = Gb18030("男");
        r[kUser_Birthday] = "1980-01-02";
        r[kUser_Education] = Gb18030("大学");
        r[kRecode_Type] = Gb18030("机关");
        r[kProvince] = Gb18030("北京市");
        r[kOrganization_Detial] = Gb18030("单位");
        r[kMobile_NO] = phone;
        r[kUI_ID] = MakeUIID(name, phone);
        return r;
    }

    // Puts the record straight into the table, then opens the main window on it and loads
    // its row into the editor as the edit cell does.
    void EditStored(const ContactRecord& record) {
        {
            ContactStore store(installation.database, [this] { return clock(); });
            ASSERT_TRUE(store.OpenContactDatabase());
            ASSERT_EQ(store.InsertContactRow(record), ContactInsert::Done);
        }
        editor.reset();
        window.reset();
        for (int row = 0; row < List()->rowCount(); ++row) {
            if (FromQString(Name(row)) == record[kUser_Name]) {
                List()->setCurrentCell(row, 1);
                Editor().LoadRecord(Window().Manager()->RowRecord(row));
                return;
            }
        }
        FAIL() << "not listed: " << record[kUser_Name];
    }

    // The stored record with that identifier; empty when there is none.
    ContactRecord StoredRecord(const std::string& id) {
        ContactRecord record;
        const StoreResult<Connection> db = Connection::Open(installation.database);
        EXPECT_TRUE(db);
        if (db) {
            db.value().Query("select UI_ID, User_Name, User_Sex, User_Birthday, User_Education, "
                             "Recode_Type, Province, City, County_Seat, Organization_Detial, "
                             "Mobile_NO from t_address_book where UI_ID = " +
                                 SqlLiteral(id),
                             [&](const std::vector<std::string>& row) {
                                 std::copy(row.begin(), row.end(), record.begin());
                             });
        }
        return record;
    }

    std::unique_ptr<TCDialog_BuissnessCard> editor;
};

TEST_F(EditorTest, OpensForTheWholeCountryWithNothingChosenButTheFirstProvince) {
    EXPECT_EQ(Editor().windowTitle(), "Quillon");
    EXPECT_FALSE(Editor().EditMode());
    QComboBox* province = Box("cbb_province");
    EXPECT_EQ(province->count(), 34);
    EXPECT_FALSE(Items(province).contains("全国"));
    EXPECT_EQ(province->currentText(), "北京市");
    EXPECT_TRUE(province->isEnabled());
    EXPECT_EQ(Editor().CurrentProvinceCode(), "110000");
    QComboBox* city = Box("cbb_city");
    EXPECT_EQ(city->count(), 16);
    EXPECT_EQ(city->itemText(0), "东城区");
    EXPECT_EQ(city->currentIndex(), -1);
    EXPECT_FALSE(Box("cbb_county")->isEnabled());
    for (const char* name : {"cbb_sex", "cbb_education", "cbb_type"}) {
        EXPECT_EQ(Box(name)->currentIndex(), -1) << name;
    }
    EXPECT_EQ(Items(Box("cbb_sex")), QStringList({"男", "女"}));
    EXPECT_EQ(Box("cbb_education")->count(), 9);
    EXPECT_EQ(Box("cbb_type")->count(), 18);
    EXPECT_EQ(Box("cbb_type")->itemText(17), "组工干部");
    auto* birthday = Field<QDateEdit>("dtp_DataBirthday");
    EXPECT_EQ(birthday->text().trimmed(), "");
    EXPECT_EQ(birthday->displayFormat(), "yyyy-MM-dd");
    EXPECT_EQ(Edit("edt_name")->maxLength(), 40);
    EXPECT_EQ(Edit("edt_department")->maxLength(), 200);
    EXPECT_EQ(Edit("edt_phone")->maxLength(), 11);
    QTest::keyClicks(Edit("edt_phone"), "13a5-8");
    EXPECT_EQ(Edit("edt_phone")->text(), "1358");
}

TEST_F(EditorTest, EveryControlHasItsLabelsNameAndTheTabOrderFollowsTheForm) {
    const std::pair<const char*, const char*> fields[] = {
        {"edt_name", "姓名"},      {"cbb_sex", "性别"},    {"dtp_DataBirthday", "出生年月"},
        {"cbb_education", "学历"}, {"cbb_province", "省"}, {"cbb_city", "地市"},
        {"cbb_county", "县"},      {"cbb_type", "类别"},   {"edt_department", "单位及职务"},
        {"edt_phone", "手机号码"},
    };
    Editor().show();
    QApplication::setActiveWindow(&Editor());
    Field<QWidget>("edt_name")->setFocus();
    for (const auto& [name, accessible] : fields) {
        QWidget* field = Field<QWidget>(name);
        EXPECT_EQ(field->accessibleName(), accessible) << name;
        if (!field->isEnabled()) {
            continue; // the county box, until a city with counties is chosen
        }
        QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus == field || field->isAncestorOf(focus))
            << name << " focus "
            << (focus ? focus->objectName().toStdString() + "/" + focus->metaObject()->className()
                      : "none");
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(Field<QWidget>("btn_save")->accessibleName(), "保存");
    EXPECT_EQ(Field<QWidget>("btn_cance")->accessibleName(), "取消");
    EXPECT_EQ(Field<QLabel>("lbl_note")->text(), "注： 带 *  项为必填项！");
}

TEST_F(EditorTest, AProvinceLoginOffersOnlyItsProvinceAndItsCities) {
    CurrentLoginArea() = {"320000", Gb18030("江苏省")};
    QComboBox* province = Box("cbb_province");
    EXPECT_EQ(Items(province), QStringList({"江苏省"}));
    EXPECT_EQ(province->currentIndex(), 0);
    EXPECT_FALSE(province->isEnabled());
    EXPECT_EQ(Box("cbb_city")->count(), 13);
    EXPECT_EQ(Box("cbb_city")->itemText(0), "南京市");
    EXPECT_TRUE(Box("cbb_city")->isEnabled());
}

TEST_F(EditorTest, ProvinceCityAndCountyCascade) {
    Choose("cbb_province", "江苏省");
    EXPECT_EQ(Editor().CurrentProvinceCode(), "320000");
    EXPECT_EQ(Box("cbb_city")->count(), 13);
    EXPECT_EQ(Box("cbb_city")->currentIndex(), -1);
    EXPECT_FALSE(Box("cbb_county")->isEnabled());

    Choose("cbb_city", "南京市");
    QComboBox* county = Box("cbb_county");
    EXPECT_TRUE(county->isEnabled());
    EXPECT_GT(county->count(), 5);
    EXPECT_EQ(county->currentIndex(), -1);
    Choose("cbb_county", county->itemText(0));

    // Another province: the old city and county go; the county box is off again.
    Choose("cbb_province", "北京市");
    EXPECT_EQ(Box("cbb_city")->count(), 16);
    EXPECT_FALSE(county->isEnabled());
    EXPECT_EQ(county->currentIndex(), -1);
    Choose("cbb_city", "东城区"); // a district has no counties
    EXPECT_FALSE(county->isEnabled());
    EXPECT_EQ(county->count(), 0);

    // "省直辖县级行政区划" stands under three provinces: the chosen item's own code counts.
    Choose("cbb_province", "湖北省");
    Choose("cbb_city", "省直辖县级行政区划");
    EXPECT_TRUE(Items(county).contains("仙桃市"));
}

TEST_F(EditorTest, EachCheckStopsTheSaveWithItsMessage) {
    const QString required = "请确保必填项不为空（带 * 为必填项）！";
    const QString badName = "姓名中只允许输入中文或者英文字母及数字，请重新输入!";
    const QString badPhone = "请输入正确的手机号";
    struct Case {
        const char* what;
        QString name;
        QString phone;
        QString message;
    } const cases[] = {
        {"blank name", "", "13588888888", required},
        {"blank number", "张三", "", required},
        {"a blank in the name", "张 三", "13588888888", badName},
        {"an apostrophe", "O'Brien", "13588888888", badName},
        {"a middle dot", "约翰·史密斯", "13588888888", badName},
        {"ten digits", "张三", "1358888888", badPhone},
        {"starts with 2", "张三", "23588888888", badPhone},
        {"starts with 12", "张三", "12588888888", badPhone},
        {"starts with 10", "张三", "10588888888", badPhone},
    };
    for (const Case& c : cases) {
        FillValidContact(c.name, c.phone);
        MessageBoxes::ClearHistory();
        EXPECT_FALSE(Editor().SaveRecord()) << c.what;
        ExpectOneMessage(MessageKind::Warning, "警告", c.message, MessageButtons::Yes);
        EXPECT_EQ(Edit("edt_name")->text(), c.name) << c.what;
    }
    EXPECT_TRUE(StoredNames().empty());
}

TEST_F(EditorTest, ARecordWithoutCityAndCountyIsStoredAndShownFirst) {
    AddRecords(2);
    Window();
    FillValidContact("John-Smith2", "18900000000");
    EXPECT_TRUE(Editor().SaveRecord());
    EXPECT_TRUE(MessageBoxes::History().empty());
    EXPECT_EQ(Name(0), "John-Smith2");
    const ContactRecord shown = Window().Manager()->RowRecord(0);
    EXPECT_EQ(shown[kProvince], Gb18030("北京市"));
    EXPECT_EQ(shown[kCity], "");
    EXPECT_EQ(shown[kCounty_Seat], "");
    EXPECT_EQ(shown[kUser_Birthday], "1980-01-02");
}

TEST_F(EditorTest, EnterInAnyFieldSavesAndClosesTheWindow) {
    const std::pair<const char*, const char*> fields[] = {{"edt_name", "13500000001"},
                                                          {"cbb_type", "13500000002"},
                                                          {"dtp_DataBirthday", "13500000003"},
                                                          {"edt_phone", "13500000004"}};
    for (const auto& [field, phone] : fields) {
        editor.reset();
        Editor().show();
        FillValidContact(QString("Enter") + field[0] + field[4], phone);
        QTest::keyClick(Field<QWidget>(field), Qt::Key_Return);
        EXPECT_FALSE(Editor().isVisible()) << field;
        EXPECT_EQ(Editor().result(), QDialog::Accepted) << field;
    }
    EXPECT_EQ(StoredNames().size(), 4u);

    // A failing check keeps the window open with what was typed.
    editor.reset();
    Editor().show();
    QTest::keyClick(Edit("edt_name"), Qt::Key_Return);
    EXPECT_TRUE(Editor().isVisible());
    ExpectOneMessage(MessageKind::Warning, "警告", "请确保必填项不为空（带 * 为必填项）！",
                     MessageButtons::Yes);
}

TEST_F(EditorTest, UnknownChoicesInARowStayUnselectedUntilPicked) {
    ContactRecord row;
    row[kUser_Name] = Gb18030("李四");
    row[kUser_Sex] = Gb18030("未知");
    row[kUser_Birthday] = "1980-1-2";
    row[kUser_Education] = Gb18030("幼儿园");
    row[kRecode_Type] = Gb18030("其他");
    row[kCity] = Gb18030("东城区"); // and no province
    row[kOrganization_Detial] = Gb18030("单位");
    row[kMobile_NO] = "13500000001";
    Editor().LoadRecord(row);
    EXPECT_TRUE(Editor().EditMode());
    for (const char* name : {"cbb_sex", "cbb_education", "cbb_type", "cbb_province"}) {
        EXPECT_EQ(Box(name)->currentIndex(), -1) << name;
    }
    EXPECT_EQ(Editor().CurrentProvinceCode(), "");
    EXPECT_EQ(Items(Box("cbb_city")), QStringList({"东城区"}));
    EXPECT_EQ(Field<QDateEdit>("dtp_DataBirthday")->date(), QDate(1980, 1, 2));

    const char* picks[][2] = {{"cbb_sex", "女"},
                              {"cbb_education", "硕士"},
                              {"cbb_type", "村"},
                              {"cbb_province", "北京市"}};
    for (const auto& [box, text] : picks) {
        MessageBoxes::ClearHistory();
        EXPECT_FALSE(Editor().SaveRecord()) << box;
        ExpectOneMessage(MessageKind::Warning, "警告", "请确保必填项不为空（带 * 为必填项）！",
                         MessageButtons::Yes);
        Choose(box, text);
    }
    EXPECT_EQ(Editor().CollectRecord()[kProvince], Gb18030("北京市"));
    EXPECT_EQ(Editor().CollectRecord()[kCity], "");
}

TEST_F(EditorTest, ARowLoadsItsAreasAndLeavesABirthdayThatIsNoDateEmpty) {
    ContactRecord row;
    row[kUser_Name] = Gb18030("王五");
    row[kUser_Sex] = Gb18030("男");
    row[kUser_Birthday] = "2015.5.5";
    row[kUser_Education] = Gb18030("大学");
    row[kRecode_Type] = Gb18030("机关");
    row[kProvince] = Gb18030("江苏省");
    row[kCity] = Gb18030("南京市");
    row[kCounty_Seat] = Gb18030("玄武区");
    row[kOrganization_Detial] = Gb18030("单位");
    row[kMobile_NO] = "13500000002";
    Editor().LoadRecord(row);
    ContactRecord collected = Editor().CollectRecord();
    EXPECT_EQ(collected[kUser_Birthday], "");
    collected[kUser_Birthday] = row[kUser_Birthday];
    EXPECT_EQ(collected, row);
    EXPECT_EQ(Editor().CurrentProvinceCode(), "320000");
    EXPECT_TRUE(Box("cbb_county")->isEnabled());
}

TEST_F(EditorTest, NoProvinceToOfferMeansNoChoiceAndNoSave) {
    CurrentLoginArea() = {"990000", Gb18030("无此省")};
    EXPECT_EQ(Box("cbb_province")->count(), 0);
    EXPECT_EQ(Box("cbb_province")->currentIndex(), -1);
    EXPECT_EQ(Editor().CurrentProvinceCode(), "");
    EXPECT_EQ(Box("cbb_city")->count(), 0);
    FillValidContact();
    EXPECT_FALSE(Editor().SaveRecord());
    ExpectOneMessage(MessageKind::Warning, "警告", "请确保必填项不为空（带 * 为必填项）！",
                     MessageButtons::Yes);
}

TEST_F(EditorTest, TheNewButtonStoresThroughTheEditorAndRecounts) {
    AddRecords(1);
    Window();
    WhenEditorOpens([this](TCDialog_BuissnessCard& open) {
        EXPECT_EQ(open.parentWidget(), &Window());
        editor.reset(&open);
        FillValidContact("新人", "15000000000");
        QTest::mouseClick(Field<QWidget>("btn_save"), Qt::LeftButton);
        editor.release();
    });
    Click("btn_new");
    EXPECT_EQ(Name(0), "新人");
    EXPECT_TRUE(CountLabel().contains("2")) << CountLabel().toStdString();
}

TEST_F(EditorTest, TheEditCellReplacesTheRowAndItsIdentifierThenClearsTheSelection) {
    AddRecords(3); // rows show N2, N1, N0
    Window();
    const std::string oldId = MakeUIID("N1", "13500000001");
    WhenEditorOpens([this](TCDialog_BuissnessCard& open) {
        EXPECT_EQ(open.parentWidget(), nullptr);
        EXPECT_TRUE(open.EditMode());
        editor.reset(&open);
        EXPECT_EQ(Edit("edt_name")->text(), "N1");
        EXPECT_EQ(Box("cbb_province")->currentText(), "北京市");
        Choose("cbb_sex", "女");
        Choose("cbb_education", "大学");
        Choose("cbb_type", "村");
        Field<QDateEdit>("dtp_DataBirthday")->setDate(QDate(1990, 6, 1)); // none was stored
        Edit("edt_department")->setText("新单位");
        Edit("edt_name")->setText("N1b");
        QTest::mouseClick(Field<QWidget>("btn_save"), Qt::LeftButton);
        EXPECT_FALSE(open.isVisible());
        editor.release();
    });
    ClickCell(1, ContactListManager::kEditColumn);
    EXPECT_EQ(Name(1), "N1b");
    EXPECT_EQ(List()->currentRow(), -1);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    const std::string newId = MakeUIID("N1b", "13500000001");
    const std::vector<std::string> names = StoredNames();
    EXPECT_EQ(names,
              (std::vector<std::string>{"N0/" + MakeUIID("N0", "13500000000"), "N1b/" + newId,
                                        "N2/" + MakeUIID("N2", "13500000002")}));
    EXPECT_NE(oldId, newId);
}

TEST_F(EditorTest, ASameNameIsAskedAboutAndASameNameAndNumberIsRefused) {
    AddRecords(3); // rows show N2, N1, N0
    Window();
    ContactListManager& manager = *Window().Manager();
    ContactRecord record;
    record[kUser_Name] = "N0";
    record[kMobile_NO] = "15000000000";
    record[kProvince] = Gb18030("北京市");
    const auto expectAsked = [] {
        ASSERT_EQ(MessageBoxes::History().size(), 1u);
        const MessageBoxes::Shown& shown = MessageBoxes::History()[0];
        EXPECT_EQ(shown.kind, MessageKind::Information);
        EXPECT_EQ(shown.text, "存在姓名相同的记录，是否继续添加？");
        EXPECT_EQ(shown.buttons, MessageButtons::OkCancel);
        MessageBoxes::ClearHistory();
    };

    // A new record: Cancel adds nothing, Ok adds it.
    MessageBoxes::Script({MessageAnswer::Cancel});
    EXPECT_FALSE(manager.AddContact(record));
    expectAsked();
    EXPECT_EQ(StoredNames().size(), 3u);
    MessageBoxes::Script({MessageAnswer::Ok});
    EXPECT_TRUE(manager.AddContact(record));
    expectAsked();
    EXPECT_EQ(StoredNames().size(), 4u);

    // A changed record (N1, in row 2 now): the old row stays until the operator agrees.
    List()->setCurrentCell(2, 1);
    record[kUser_Name] = "N2";
    record[kMobile_NO] = "13500000001";
    MessageBoxes::Script({MessageAnswer::Cancel});
    EXPECT_FALSE(manager.EditContact(record));
    expectAsked();
    EXPECT_EQ(Name(2), "N1");
    MessageBoxes::Script({MessageAnswer::Ok});
    EXPECT_TRUE(manager.EditContact(record));
    expectAsked();
    EXPECT_EQ(Name(2), "N2");

    // Name and number both taken: told, never asked, and nothing changes.
    record[kMobile_NO] = "13500000002";
    EXPECT_FALSE(manager.EditContact(record));
    ExpectOneMessage(MessageKind::Information, "信息", "存在姓名和手机号相同的记录，请重新输入！",
                     MessageButtons::Ok);
    EXPECT_EQ(StoredNames().size(), 4u);
}

TEST_F(EditorTest, StoredAreasSurviveAChangeOfTheNumberAlone) {
    struct Case {
        const char* what;
        const char* province;
        const char* city;
        const char* county;
    } const cases[] = {
        {"a city and county of another installation", "北京市", "北京市", "海淀区"},
        {"a county no longer under its city", "江苏省", "南京市", "江宁县"},
        {"a province the editor does not offer", "全国", "北京市", ""},
        {"a renamed province", "北京", "北京市", "海淀区"},
        {"a county without a city", "北京市", "", "海淀区"},
        {"areas all listed", "江苏省", "南京市", "玄武区"},
        {"a province alone", "北京市", "", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ContactRecord record =
            Arrived("Keep" + std::to_string(n), "1350000000" + std::to_string(n));
        ++n;
        record[kProvince] = Gb18030(c.province);
        record[kCity] = Gb18030(c.city);
        record[kCounty_Seat] = Gb18030(c.county);
        EditStored(record);
        EXPECT_EQ(Box("cbb_province")->currentText(), c.province);
        EXPECT_EQ(Box("cbb_city")->currentText(), c.city);
        EXPECT_EQ(Box("cbb_county")->currentText(), c.county);

        Edit("edt_phone")->setText("13900000000");
        EXPECT_TRUE(Editor().SaveRecord());
        EXPECT_TRUE(MessageBoxes::History().empty());
        ContactRecord expected = record;
        expected[kMobile_NO] = "13900000000";
        expected[kUI_ID] = MakeUIID(record[kUser_Name], expected[kMobile_NO]);
        EXPECT_EQ(StoredRecord(expected[kUI_ID]), expected);
    }
}

TEST_F(EditorTest, KeptAreasGoOnlyWhenTheOperatorChoosesOthers) {
    ContactRecord record = Arrived("Keep", "13500000001");
    record[kCity] = Gb18030("北京市");
    record[kCounty_Seat] = Gb18030("海淀区");
    Editor().LoadRecord(record);
    QComboBox* city = Box("cbb_city");
    QComboBox* county = Box("cbb_county");
    // The kept texts stand beside the listed ones and can be chosen again.
    EXPECT_EQ(city->count(), 17);
    EXPECT_TRUE(city->isEnabled());
    EXPECT_EQ(Items(county), QStringList({"海淀区"}));
    EXPECT_TRUE(county->isEnabled());

    Choose("cbb_city", "东城区");
    EXPECT_FALSE(county->isEnabled());
    EXPECT_EQ(Editor().CollectRecord()[kCounty_Seat], "");
    Choose("cbb_city", "北京市");
    EXPECT_EQ(county->currentText(), "海淀区");

    Choose("cbb_province", "江苏省");
    EXPECT_EQ(city->currentIndex(), -1);
    EXPECT_FALSE(Items(city).contains("北京市"));
    EXPECT_EQ(Editor().CollectRecord()[kCounty_Seat], "");
    // Back in the record's province, its city and county are as they were.
    Choose("cbb_province", "北京市");
    EXPECT_EQ(city->currentText(), "北京市");
    EXPECT_EQ(county->currentText(), "海淀区");

    // A province the list does not offer stays a choice too.
    editor.reset();
    record[kProvince] = Gb18030("北京");
    Editor().LoadRecord(record);
    Choose("cbb_province", "北京市");
    EXPECT_EQ(Box("cbb_city")->currentIndex(), -1);
    Choose("cbb_province", "北京");
    EXPECT_EQ(Editor().CurrentProvinceCode(), "");
    EXPECT_EQ(Box("cbb_city")->currentText(), "北京市");
    EXPECT_EQ(Box("cbb_county")->currentText(), "海淀区");
}

TEST_F(EditorTest, ABirthdayIsNeverTodayByItself) {
    struct Case {
        const char* what;
        const char* stored;
        const char* shown; // "" for an empty picker
    } const cases[] = {
        {"none", "", ""},
        {"no date", "2015.5.5", ""},
        {"no such day", "2001-02-30", ""},
        {"a date", "1980-1-2", "1980-01-02"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        editor.reset();
        ContactRecord record = Arrived("Day", "13500000001");
        record[kUser_Birthday] = c.stored;
        Editor().LoadRecord(record);
        EXPECT_EQ(Field<QDateEdit>("dtp_DataBirthday")->text().trimmed(), c.shown);
        EXPECT_EQ(Editor().CollectRecord()[kUser_Birthday], c.shown);
    }
    // A new record starts without one too.
    editor.reset();
    EXPECT_EQ(Field<QDateEdit>("dtp_DataBirthday")->text().trimmed(), "");
    EXPECT_EQ(Editor().CollectRecord()[kUser_Birthday], "");
}

TEST_F(EditorTest, AStoredRecordWithoutBirthdayIsNotSavedUntilOneIsGiven) {
    ContactRecord record = Arrived("NoDay", "13500000001");
    record[kUser_Birthday] = ""; // stored as NULL, as packages bring it
    EditStored(record);
    Edit("edt_phone")->setText("13900000000");
    EXPECT_FALSE(Editor().SaveRecord());
    ExpectOneMessage(MessageKind::Warning, "警告", "请确保必填项不为空（带 * 为必填项）！",
                     MessageButtons::Yes);
    EXPECT_EQ(StoredRecord(record[kUI_ID])[kUser_Birthday], "");

    Field<QDateEdit>("dtp_DataBirthday")->setDate(QDate(1975, 3, 4));
    EXPECT_TRUE(Editor().SaveRecord());
    EXPECT_EQ(StoredRecord(MakeUIID("NoDay", "13900000000"))[kUser_Birthday], "1975-03-04");
}

TEST_F(EditorTest, ABlankBirthdayCalendarOpensOnThisMonth) {
    Editor().show();
    auto* birthday = Field<QDateEdit>("dtp_DataBirthday");
    QTest::mouseClick(birthday, Qt::LeftButton, {},
                      QPoint(birthday->width() - 5, birthday->height() / 2));
    QCalendarWidget* calendar = birthday->calendarWidget();
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_EQ(calendar->yearShown(), QDate::currentDate().year());
    EXPECT_EQ(calendar->monthShown(), QDate::currentDate().month());
    calendar->window()->hide();
    EXPECT_EQ(Editor().CollectRecord()[kUser_Birthday], "");
}

TEST_F(EditorTest, KeysOnABlankBirthdayStartADateAndTheWheelDoesNothing) {
    Editor().show();
    auto* birthday = Field<QDateEdit>("dtp_DataBirthday");
    QWheelEvent wheel(QPointF(5, 5), birthday->mapToGlobal(QPointF(5, 5)), {}, {0, 120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(birthday, &wheel);
    EXPECT_EQ(Editor().CollectRecord()[kUser_Birthday], "");

    QTest::keyClicks(birthday, "19800102");
    EXPECT_EQ(Editor().CollectRecord()[kUser_Birthday], "1980-01-02");

    editor.reset();
    QTest::keyClick(Field<QDateEdit>("dtp_DataBirthday"), Qt::Key_Up);
    EXPECT_EQ(Field<QDateEdit>("dtp_DataBirthday")->date(), QDate::currentDate());
}

TEST_F(EditorTest, ABirthdayTypedWithItsSeparatorsIsTheDateTyped) {
    // The picker moves on by itself once a year or a month is typed whole; a separator typed
    // after that must not move it on once more, so that the day would land in the month.
    const struct {
        const char* typed;
        const char* stored;
    } cases[] = {{"1971-04-05", "1971-04-05"},
                 {"1971/4/5", "1971-04-05"},
                 {"1971-4-05", "1971-04-05"},
                 {"19710405", "1971-04-05"},
                 {"1971-12-31", "1971-12-31"}};
    for (const auto& c : cases) {
        editor.reset();
        Editor().show();
        auto* birthday = Field<QDateEdit>("dtp_DataBirthday");
        birthday->setFocus();
        QTest::keyClicks(birthday, c.typed);
        EXPECT_EQ(Editor().CollectRecord()[kUser_Birthday], c.stored) << c.typed;
    }
}

TEST_F(EditorTest, TextsTheImportWouldRefuseAreRefusedWithTheirLimits) {
    const QString c20 = QString("张").repeated(20);
    const QString c50 = QString("单").repeated(50);
    struct Case {
        const char* what;
        ContactField field;
        QString value;
        QString message; // empty: saved
    } const cases[] = {
        {"20 Chinese characters of name", kUser_Name, c20, ""},
        {"21 Chinese characters of name", kUser_Name, c20 + "张",
         "姓名过长：最多20个汉字或40个英文字母、数字，请重新输入！"},
        {"50 Chinese characters of post", kOrganization_Detial, c50, ""},
        {"51 Chinese characters of post", kOrganization_Detial, c50 + "单",
         "单位及职务过长：最多50个汉字或100个英文字母、数字，请重新输入！"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        editor.reset();
        FillValidContact("Len" + QString::number(n), "1350000000" + QString::number(n));
        ++n;
        Edit(c.field == kUser_Name ? "edt_name" : "edt_department")->setText(c.value);
        MessageBoxes::ClearHistory();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(Editor().SaveRecord());
            EXPECT_TRUE(MessageBoxes::History().empty());
        } else {
            EXPECT_FALSE(Editor().SaveRecord());
            ExpectOneMessage(MessageKind::Warning, "警告", c.message, MessageButtons::Yes);
        }
    }
}

TEST_F(EditorTest, StoredTextsTooLongAreShownWholeAndRefused) {
    // Cut to what the boxes take, the name and number would pass as another person's.
    ContactRecord record = Arrived(std::string(45, 'a'), "135000000012");
    record[kCity] = FromQString(QString("长").repeated(21));
    Editor().LoadRecord(record);
    EXPECT_EQ(Edit("edt_name")->text(), QString("a").repeated(45));
    EXPECT_EQ(Edit("edt_phone")->text(), "135000000012");
    MessageBoxes::ClearHistory();
    EXPECT_FALSE(Editor().SaveRecord());
    ExpectOneMessage(MessageKind::Warning, "警告",
                     "姓名过长：最多20个汉字或40个英文字母、数字，请重新输入！",
                     MessageButtons::Yes);
    Edit("edt_name")->setText("Short");
    EXPECT_FALSE(Editor().SaveRecord());
    ExpectOneMessage(MessageKind::Warning, "警告",
                     "地市的名称过长：最多20个汉字或40个英文字母、数字，请重新选择！",
                     MessageButtons::Yes);
    Choose("cbb_city", "东城区");
    EXPECT_FALSE(Editor().SaveRecord());
    ExpectOneMessage(MessageKind::Warning, "警告", "请输入正确的手机号", MessageButtons::Yes);
}

} // namespace

namespace {

TEST_F(EditorTest, EscapeWithTypedValuesAsksBeforeThrowingThemAway) {
    Editor().show();
    // Nothing typed: Escape closes at once.
    QTest::keyClick(&Editor(), Qt::Key_Escape);
    EXPECT_FALSE(Editor().isVisible());
    EXPECT_TRUE(Messages().empty());

    Editor().show();
    Edit("edt_name")->setText("张三");
    // The default answer (Enter) keeps the window and what was typed.
    QTest::keyClick(&Editor(), Qt::Key_Escape);
    EXPECT_TRUE(Editor().isVisible());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "放弃已输入的内容吗？");
    EXPECT_EQ(Messages()[0].defaultAnswer, MessageAnswer::Cancel);
    EXPECT_EQ(Edit("edt_name")->text(), "张三");
    MessageBoxes::Script({MessageAnswer::Ok});
    QTest::keyClick(&Editor(), Qt::Key_Escape);
    EXPECT_FALSE(Editor().isVisible());
}

} // namespace
