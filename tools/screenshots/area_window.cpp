#include "area_window.h"

#include "platform/text.h"
#include "ui/dialog_area.h"
#include "ui/login_area.h"

#include <QTest>
#include <QTreeWidget>
#include <cstdio>

void GrabAreaWindow(const Installation& installation, const std::filesystem::path& file) {
    const LoginArea login = CurrentLoginArea();
    CurrentLoginArea() = {"000000", Gb18030("全国")};
    TCDialog_Area window(installation);
    window.show();
    // 江苏省 and 南京市: a province whose first city has counties.
    auto* provinces = window.findChild<QTreeWidget*>("list_Province");
    provinces->setCurrentItem(provinces->findItems("320000", Qt::MatchExactly, 0).value(0));
    provinces->scrollToItem(provinces->currentItem());
    QTest::qWait(50);
    window.grab().save(QString::fromStdString(file.string()));
    std::printf("wrote %s\n", file.c_str());
    CurrentLoginArea() = login;
}
