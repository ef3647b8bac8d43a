#include "ui/fonts.h"

#include <QStringList>

QFont SongTi(int pixels) {
    QFont font("SimSun");
    font.setFamilies({"宋体", "SimSun", "Noto Serif CJK SC", "Noto Sans CJK SC"});
    font.setPixelSize(pixels);
    return font;
}

QFont YaHei(int pixels) {
    QFont font("Microsoft YaHei");
    font.setFamilies({"微软雅黑", "Microsoft YaHei", "Noto Sans CJK SC", "Noto Sans CJK"});
    font.setPixelSize(pixels);
    return font;
}
