#include "ui/qt_text.h"

#include "platform/text.h"

QString ToQString(const std::string& gbk) {
    return QString::fromStdString(GbkToUtf8(gbk));
}

std::string FromQString(const QString& text) {
    return Utf8ToGbk(text.toStdString());
}
