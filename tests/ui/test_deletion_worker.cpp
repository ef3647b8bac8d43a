#include "phonebook_fixture.h"
#include "ui/my_thread.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {

int CountAll(const Installation& installation) {
    ContactStore store(installation.database);
    if (!store.OpenContactDatabase()) {
        return -1;
    }
    const int count = store.CountContacts(CurrentLoginArea().name).value_or(-1);
    store.CloseContactDatabase();
    return count;
}

} // namespace

// The deletion job waits on the window for its first call; the window goes at once.
TEST_F(PhoneBookTest, DestroyingTheWindowDuringADeletionDoesNotHang) {
    AddRecords(300);
    Window();
    ClickCell(0, 1);
    ClickCell(3, 1);
    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_delete");
    ASSERT_NE(Window().DeletionWorker(), nullptr);
    const auto start = std::chrono::steady_clock::now();
    window.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    // The job ran to its end, and its report was not shown on a window that is gone.
    EXPECT_EQ(CountAll(installation), 298);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "确定要删除选择的数据吗？\n将删除2条记录。");
}

TEST_F(PhoneBookTest, ClosingTheWindowDuringADeletionLetsItEndAndReport) {
    AddRecords(20);
    Window().show();
    ClickCell(1, 1);
    MessageBoxes::Script({MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok});
    Click("btn_delete");
    ASSERT_NE(Window().DeletionWorker(), nullptr);
    EXPECT_TRUE(Window().close());
    EXPECT_EQ(Window().DeletionWorker(), nullptr);
    EXPECT_EQ(CountAll(installation), 19);
    ASSERT_EQ(Messages().size(), 3u);
    EXPECT_EQ(Messages()[1].text, "确认退出系统吗？");
    EXPECT_EQ(Messages()[2].text, "删除成功！");
}

TEST_F(PhoneBookTest, TheDeletionWorkerStartsOnlyOnceAndNeedsAJob) {
    CMyThread idle(&Window());
    EXPECT_FALSE(idle.Start());
    CMyThread worker(&Window());
    std::atomic<int> runs{0};
    worker.SetJob([&](TCDialog_PhoneBook* w, WorkerContext&) {
        EXPECT_EQ(w, &Window());
        ++runs;
    });
    EXPECT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());
    worker.WaitServingGui();
    EXPECT_EQ(runs, 1);
}
