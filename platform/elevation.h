#pragma once

#include "platform/detached_process.h"

#include <filesystem>
#include <string>

// The program needs administrator rights (root here).
bool IsAdministrator();

// Starts the executable again through `program` (pkexec; replaceable for tests), detached
// from this process. Failure means the restart could not be started at all; callers end
// this process either way. Whether the operator then grants the rights is pkexec's matter.
StartResult RestartElevated(const std::filesystem::path& executable,
                            const std::string& program = "pkexec");

// One line for standard error, e.g.
// "quillon: cannot restart with root rights: pkexec: No such file or directory".
std::string DescribeRestartFailure(const StartResult& result,
                                   const std::string& program = "pkexec");
