#include "ui/fonts.h"

#include <QStringList>

QFont YaHei(int pixels) {
    QFont font("Microsoft YaHei");
    font.setFamilies({"微软雅黑", "Microsoft YaHei", "Noto Sans CJK SC", "Noto Sans CJK"});
    font.setPixelSize(pixels);
    return font;
}
