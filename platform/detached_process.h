#pragma once

#include <string>
#include <vector>

// Starting another program that outlives this one and belongs to no one: fork, setsid,
// fork again and exec, so the middle process ends at once and the program is never left a
// zombie of ours. The exec's own failure comes back through a close-on-exec pipe, so the
// caller learns whether the program actually started.

enum class StartError { None, ForkFailed, ExecFailed };

struct StartResult {
    StartError error = StartError::None;
    int errorNumber = 0; // errno of the failed call
    explicit operator bool() const { return error == StartError::None; }
};

// argv[0] is the program: a name looked up in PATH, or a path.
StartResult StartDetached(const std::vector<std::string>& argv);
