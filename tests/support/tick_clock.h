#pragma once

#include <cstdio>
#include <string>

// An insertion clock that moves one second per reading, so that "newest first" is well
// defined however fast the rows go in.
class TickClock {
public:
    std::string operator()() {
        char text[32];
        const int s = tick_++;
        std::snprintf(text, sizeof text, "2026-01-%02d %02d:%02d:%02d", 1 + s / 86400,
                      s / 3600 % 24, s / 60 % 60, s % 60);
        return text;
    }

private:
    int tick_ = 0;
};
