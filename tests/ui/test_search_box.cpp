#include "phonebook_fixture.h"

#include <QApplication>
#include <QPushButton>

namespace {

class SearchBoxTest : public PhoneBookTest {
protected:
    QLineEdit* Box() { return Find<QLineEdit>("edt_search"); }
    void Type(const QString& text) {
        Box()->setFocus();
        Box()->clear();
        // Key clicks only go as far as ASCII; other text is put in as an input method would.
        if (text.toLatin1() == text.toUtf8()) {
            QTest::keyClicks(Box(), text);
        } else {
            Box()->insert(text);
        }
    }
};

TEST_F(SearchBoxTest, EnterShowsTheRecordsFoundAndEscapeOrAllShowsTheRegisterAgain) {
    AddRecords(450);
    Window();
    EXPECT_EQ(Box()->accessibleName(), "查找");
    EXPECT_EQ(Box()->placeholderText(), "姓名、手机号码或单位");

    Type("n44");
    QTest::keyClick(Box(), Qt::Key_Return);
    EXPECT_EQ(CountLabel(), "共11条记录,每页200条");
    EXPECT_EQ(PageLabel(), "1/1");
    ASSERT_EQ(List()->rowCount(), 11);
    EXPECT_EQ(Name(0), "N449"); // newest first
    EXPECT_EQ(Name(10), "N44");

    QTest::keyClick(Box(), Qt::Key_Escape);
    EXPECT_TRUE(Box()->text().isEmpty());
    EXPECT_EQ(CountLabel(), "共450条记录,每页200条");
    EXPECT_EQ(PageLabel(), "1/3");

    // Digits of the numbers, over pages that turn as always.
    Type("0000 n3");
    Click("btn_search");
    EXPECT_EQ(CountLabel(), "共111条记录,每页200条"); // N3, N30..N39, N300..N399
    Type("00000");
    Click("btn_search");
    EXPECT_EQ(PageLabel(), "1/3");
    Click("btn_next");
    EXPECT_EQ(PageLabel(), "2/3");
    EXPECT_EQ(Name(0), "N249");

    Type("无此人");
    QTest::keyClick(Box(), Qt::Key_Return);
    EXPECT_EQ(CountLabel(), "共0条记录,每页200条");
    EXPECT_EQ(List()->rowCount(), 0);
    Click("btn_all");
    EXPECT_EQ(CountLabel(), "共450条记录,每页200条");
    EXPECT_EQ(List()->rowCount(), 200);
}

TEST_F(SearchBoxTest, CtrlFReachesTheBoxAndCommandsWorkOnTheRecordsFound) {
    AddRecords(30);
    QApplication::setActiveWindow(&Window());
    List()->setFocus();
    QTest::keyClick(&Window(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), Box());

    Type("N2");
    QTest::keyClick(Box(), Qt::Key_Return);
    ASSERT_EQ(List()->rowCount(), 11); // N2, N20..N29
    ClickCell(0, 1);
    ClickCell(1, 1);
    MessageBoxes::Script({MessageAnswer::Ok, MessageAnswer::Ok});
    DeleteChecked();
    // The search runs again over what is left.
    EXPECT_EQ(CountLabel(), "共9条记录,每页200条");
    EXPECT_EQ(Name(0), "N27");

    // Records another connection adds are found by the next search or page turn.
    AddRecords(1); // N30
    Type("N3");
    QTest::keyClick(Box(), Qt::Key_Return);
    ASSERT_EQ(List()->rowCount(), 2);
    EXPECT_EQ(Name(0), "N30");
}

} // namespace
