#include "platform/elevation.h"

#include <cstring>
#include <unistd.h>

bool IsAdministrator() {
    return geteuid() == 0;
}

StartResult RestartElevated(const std::filesystem::path& executable, const std::string& program) {
    return StartDetached({program, executable.string()});
}

std::string DescribeRestartFailure(const StartResult& result, const std::string& program) {
    const std::string what = result.error == StartError::ForkFailed ? "fork" : program;
    return "quillon: cannot restart with root rights: " + what + ": " +
           std::strerror(result.errorNumber);
}
