#pragma once

#include "crypto/uiid.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "store/contact_store.h"
#include "store/schema.h"
#include "support/temp_dir.h"
#include "support/tick_clock.h"
#include "ui/contact_list_manager.h"
#include "ui/dialog_phonebook.h"
#include "ui/login_area.h"
#include "ui/message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

// An installation in a temporary folder with a seeded database, and a main window logged in
// for the whole country (message 1026 delivered), every box answered from a script.
class PhoneBookTest : public ::testing::Test {
protected:
    PhoneBookTest() : installation(Installation::InFolder(dir.path())) {
        EXPECT_TRUE(CreateSchema(installation.database));
        EnsureSettingsFile(installation.config);
        CurrentLoginArea() = {"000000", Gb18030("全国")};
        MessageBoxes::Script({});
        MessageBoxes::ClearHistory();
    }
    ~PhoneBookTest() override { MessageBoxes::Script({}); }

    // Adds records straight to the table, newest last, "N<i>" named.
    void AddRecords(int count, const std::string& province = Gb18030("北京市")) {
        ContactStore store(installation.database, [this] { return clock(); });
        ASSERT_TRUE(store.OpenContactDatabase());
        Transaction batch(*store.CurrentConnection());
        ASSERT_TRUE(batch.status());
        for (int i = 0; i < count; ++i) {
            ContactRecord r;
            r[kUser_Name] = "N" + std::to_string(added);
            r[kMobile_NO] = std::to_string(13500000000LL + added);
            r[kProvince] = province;
            r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
            ++added;
            ASSERT_EQ(store.InsertContactRow(r), ContactInsert::Done);
        }
        ASSERT_TRUE(batch.Commit());
    }

    TCDialog_PhoneBook& Window() {
        if (!window) {
            window = std::make_unique<TCDialog_PhoneBook>(installation, LoginDigests{});
            window->OnLoginSucceeded();
        }
        return *window;
    }

    template <typename T> T* Find(const char* name) {
        T* widget = Window().findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QTableWidget* List() { return Find<QTableWidget>("quillon_list"); }
    QString PageLabel() { return Find<QLabel>("label_page")->text(); }
    QString CountLabel() { return Find<QLabel>("lbl_items")->text(); }
    void Click(const char* button) { QTest::mouseClick(Find<QWidget>(button), Qt::LeftButton); }
    QString Name(int row) { return List()->item(row, kUser_Name)->text(); }

    void ClickCell(int row, int column) {
        QTableWidget* list = List();
        list->scrollToItem(list->item(row, column));
        const QRect cell = list->visualItemRect(list->item(row, column));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    void GoTo(const QString& page) {
        Find<QLineEdit>("edt_specailPage")->setText(page);
        Click("btn_GoSpecialPage");
    }

    // Runs the deletion command and waits for its worker to finish.
    void DeleteChecked() {
        Click("btn_delete");
        for (int i = 0; i < 1000 && Window().DeletionWorker(); ++i) {
            QTest::qWait(10);
        }
        ASSERT_EQ(Window().DeletionWorker(), nullptr);
    }

    std::vector<MessageBoxes::Shown> Messages() { return MessageBoxes::History(); }

    void ExpectOneMessage(MessageKind kind, const QString& title, const QString& text,
                          MessageButtons buttons) {
        const auto shown = MessageBoxes::History();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].kind, kind);
        EXPECT_EQ(shown[0].title, title);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].buttons, buttons);
        MessageBoxes::ClearHistory();
    }

    TempDir dir;
    Installation installation;
    std::unique_ptr<TCDialog_PhoneBook> window;
    TickClock clock;
    int added = 0;
};
