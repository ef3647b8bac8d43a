#pragma once

#include <QFont>

// The program's two typefaces, with the nearest Linux families behind the Windows ones.
QFont SongTi(int pixels); // 宋体, for the list and its counters
QFont YaHei(int pixels);  // 微软雅黑, for the editor's labels and fields
