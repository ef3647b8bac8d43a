#include "platform/elevation.h"

#include <sys/wait.h>
#include <unistd.h>

bool IsAdministrator() {
    return geteuid() == 0;
}

bool RestartElevated(const std::filesystem::path& executable) {
    // Fork twice so that pkexec belongs to no one and this process can end at once.
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            const std::string exe = executable.string();
            execlp("pkexec", "pkexec", exe.c_str(), static_cast<char*>(nullptr));
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
