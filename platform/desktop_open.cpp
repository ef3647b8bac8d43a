#include "platform/desktop_open.h"

#include "platform/strings.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kHelpType[] = "application/vnd.ms-htmlhelp";
// A handler query that has not answered by then is taken as "no handler" rather than
// leaving the operator's click hanging.
constexpr int kQueryTimeoutMs = 5000;
constexpr std::size_t kQueryOutputLimit = 4096;

std::string EffectivePath(const DesktopPrograms& programs) {
    if (!programs.searchPath.empty()) {
        return programs.searchPath;
    }
    const char* path = std::getenv("PATH");
    return path ? path : "/usr/local/bin:/usr/bin:/bin";
}

bool IsExecutableFile(const std::filesystem::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(file.c_str(), X_OK) == 0;
}

std::string MimeTypeOf(const std::filesystem::path& file) {
    // Only help files are opened this way today; the type by name is what the desktop's
    // own databases would say for them.
    return EqualsIgnoreCase(file.extension().string(), ".chm") ? kHelpType : "";
}

std::string ReadWithTimeout(int fd, pid_t child) {
    std::string output;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kQueryTimeoutMs);
    while (output.size() < kQueryOutputLimit) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            ::kill(child, SIGKILL);
            return {};
        }
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        output.append(chunk, static_cast<std::size_t>(n));
    }
    return output;
}

// Runs `program args...` and returns what it printed, or "" when it cannot run or fails.
std::string RunAndCapture(const std::filesystem::path& program,
                          const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& arg : argv) {
        cargv.push_back(arg.data());
    }
    cargv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(cargv[0], cargv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string output = child > 0 ? ReadWithTimeout(fds[0], child) : "";
    ::close(fds[0]);
    int status = 0;
    if (child > 0) {
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    const bool succeeded = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return succeeded ? output : "";
}

bool HasRegisteredHandler(const std::filesystem::path& file, const DesktopPrograms& programs,
                          const std::string& path) {
    const std::string type = MimeTypeOf(file);
    const auto query = FindProgram(programs.mimeQuery, path);
    if (type.empty() || query.empty()) {
        return false;
    }
    return !TrimBlanksAndControls(RunAndCapture(query, {"query", "default", type})).empty();
}

OpenDocumentResult Start(OpenedWith way, const std::filesystem::path& program,
                         const std::filesystem::path& file) {
    const StartResult started = StartDetached({program.string(), file.string()});
    if (started) {
        return {way, OpenError::None, {}};
    }
    return {OpenedWith::Nothing, OpenError::StartFailed,
            program.string() + ": " + std::strerror(started.errorNumber)};
}

} // namespace

std::filesystem::path FindProgram(const std::string& name, const std::string& searchPath) {
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? std::filesystem::path(name) : std::filesystem::path();
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const std::size_t end = std::min(searchPath.find(':', start), searchPath.size());
        const std::string folder = searchPath.substr(start, end - start);
        const auto candidate = std::filesystem::path(folder.empty() ? "." : folder) / name;
        if (!name.empty() && IsExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

OpenDocumentResult OpenDocumentWithDesktop(const std::filesystem::path& file,
                                           const DesktopPrograms& programs) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return {OpenedWith::Nothing, OpenError::FileMissing, file.string() + ": not found"};
    }
    const std::string path = EffectivePath(programs);
    if (HasRegisteredHandler(file, programs, path)) {
        if (const auto opener = FindProgram(programs.opener, path); !opener.empty()) {
            return Start(OpenedWith::DesktopHandler, opener, file);
        }
    }
    if (const auto viewer = FindProgram(programs.viewer, path); !viewer.empty()) {
        return Start(OpenedWith::Viewer, viewer, file);
    }
    return {OpenedWith::Nothing, OpenError::NoProgram,
            programs.viewer + ": not found, and no handler is registered"};
}
