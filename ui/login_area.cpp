#include "ui/login_area.h"

LoginArea& CurrentLoginArea() {
    static LoginArea area;
    return area;
}
