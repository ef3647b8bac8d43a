#include "ui/qt_text.h"

#include "platform/text.h"

QString ToQString(const std::string& gb18030) {
    return QString::fromStdString(Gb18030ToUtf8(gb18030));
}

std::string FromQString(const QString& text) {
    return Utf8ToGb18030(text.toStdString());
}
