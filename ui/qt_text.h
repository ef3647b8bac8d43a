#pragma once

#include <QString>
#include <string>

// The widgets' side of the GBK border.
QString ToQString(const std::string& gbk);
std::string FromQString(const QString& text);
