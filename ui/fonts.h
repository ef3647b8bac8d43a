#pragma once

#include <QFont>

// The editor's typeface, with the nearest Linux families behind the Windows one.
QFont YaHei(int pixels);  // 微软雅黑, for the editor's labels and fields
