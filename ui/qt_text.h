#pragma once

#include <QString>
#include <string>

// The widgets' side of the GB18030 border.
QString ToQString(const std::string& gb18030);
std::string FromQString(const QString& text);
