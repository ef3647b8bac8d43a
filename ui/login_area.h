#pragma once

#include <string>

// The area the operator logged in for: its code limits the provinces offered, its name
// filters the list, the count and the export ("全国" means no filter). GB18030 texts.
struct LoginArea {
    std::string code;
    std::string name;
};

LoginArea& CurrentLoginArea();
