// Files made to cost a reader memory or time out of all proportion to their size (the
// hostile fuzz seeds) go through qsecdump or xlsdump and through the import, each in a
// child process under a memory limit and a CPU budget. Every one must end by itself, with
// its content or a refusal the operator is told, never by a signal.
#include "package_run_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr rlim_t kMemoryLimit = rlim_t{300} << 20;
// CPU seconds, which a busy machine does not eat into as it does wall time.
constexpr rlim_t kCpuBudget = kSanitized ? 60 : 10;
// A child that sleeps or spins past its budget is killed after this.
constexpr auto kWallBackstop = std::chrono::seconds(kSanitized ? 300 : 120);

// The package fuzzer's seeds begin with its mode byte; 0 marks a package file.
constexpr char kPackageMode = '\0';
constexpr char kFuzzPassword[] = "quillon2026";

struct HostileFile {
    fs::path seed;
    bool package = false;
};

std::vector<HostileFile> HostileFiles() {
    std::vector<HostileFile> files;
    for (const auto& [folder, package] :
         {std::pair{QUILLON_PACKAGE_SEEDS, true}, std::pair{QUILLON_WORKBOOK_SEEDS, false}}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with("hostile-")) {
                files.push_back({entry.path(), package});
            }
        }
    }
    std::sort(files.begin(), files.end(),
              [](const HostileFile& a, const HostileFile& b) { return a.seed < b.seed; });
    return files;
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ChildEnd {
    bool exited = false;
    int code = -1;
    int signal = 0;
    long peakKilobytes = 0;
    std::string errors; // what the child wrote on standard error
};

// The address space the process has mapped now, so that a limit can be put on what the
// child adds to it.
rlim_t MappedBytes() {
    std::ifstream status("/proc/self/statm");
    unsigned long pages = 0;
    status >> pages;
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
}

void LimitChild(rlim_t memory) {
    if (!kSanitized) { // the sanitizer's shadow memory needs terabytes of address space
        const rlimit space{memory, memory};
        ::setrlimit(RLIMIT_AS, &space);
    }
    const rlimit cpu{kCpuBudget, kCpuBudget};
    ::setrlimit(RLIMIT_CPU, &cpu);
}

// Runs body in a child under the limits, its standard output thrown away and its errors
// kept; body's value is the child's exit status.
ChildEnd RunLimited(rlim_t memory, const std::function<int()>& body) {
    const fs::path errors =
        fs::temp_directory_path() / ("quillon-hostile-" + std::to_string(::getpid()) + ".err");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        LimitChild(memory);
        ::_exit(body());
    }
    ChildEnd end;
    int status = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + kWallBackstop;
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.peakKilobytes = usage.ru_maxrss;
    end.errors = ReadAll(errors);
    fs::remove(errors);
    return end;
}

ChildEnd RunTool(const std::vector<std::string>& arguments) {
    return RunLimited(kMemoryLimit, [&] {
        std::vector<char*> argv;
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        return 127;
    });
}

std::string Describe(const ChildEnd& end) {
    return (end.exited ? "exit " + std::to_string(end.code)
                       : "signal " + std::to_string(end.signal)) +
           ", peak " + std::to_string(end.peakKilobytes / 1024) + " MB, errors: " + end.errors;
}

class HostileFileTest : public PackageRunTest, public ::testing::WithParamInterface<HostileFile> {
protected:
    // The file as the program meets it, without the fuzzer's mode byte.
    fs::path File() {
        const HostileFile& hostile = GetParam();
        if (!hostile.package) {
            return hostile.seed;
        }
        const std::string seed = ReadAll(hostile.seed);
        EXPECT_TRUE(!seed.empty() && seed[0] == kPackageMode) << hostile.seed;
        const fs::path file = dir / (hostile.seed.filename().string() + ".qsec");
        std::ofstream(file, std::ios::binary) << seed.substr(1);
        return file;
    }
};

TEST_P(HostileFileTest, TheDumpToolEndsWithinItsLimitsWithTheContentOrARefusal) {
    const fs::path file = File();
    const ChildEnd end = GetParam().package ? RunTool({QSECDUMP, file.string(), kFuzzPassword})
                                            : RunTool({XLSDUMP, file.string()});
    RecordProperty("peak_kilobytes", std::to_string(end.peakKilobytes));
    ASSERT_TRUE(end.exited) << Describe(end);
    // qsecdump: 0 read, 3 wrong password, 4 damaged; xlsdump: 0 read, 1 refused.
    const std::vector<int> ends = GetParam().package ? std::vector{0, 3, 4} : std::vector{0, 1};
    EXPECT_NE(std::find(ends.begin(), ends.end(), end.code), ends.end()) << Describe(end);
    if (end.code != 0) {
        EXPECT_FALSE(end.errors.empty()) << "a refusal without its reason";
    }
}

TEST_P(HostileFileTest, TheImportEndsWithinItsLimitsAndSaysHowItWent) {
    const fs::path file = File();
    const ChildEnd end = RunLimited(MappedBytes() + kMemoryLimit, [&] {
        RecordingReport report;
        if (GetParam().package) {
            Import({file}, ImportMode::Append, kFuzzPassword, report);
        } else {
            ImportWorkbooks({file}, ImportMode::Append, report);
        }
        // Running out of memory or into an exception is no refusal the operator can act on.
        const std::string outOfMemory = ImportNoticeText({ImportNote::OutOfMemory}).toStdString();
        const std::string unexpected =
            ImportNoticeText({ImportNote::UnexpectedFailure}).toStdString();
        int code = report.lines.empty() ? 3 : 0;
        for (const std::string& line : report.lines) {
            std::fprintf(stderr, "%s\n", line.c_str());
            if (line == outOfMemory || line == unexpected) {
                code = 4;
            }
        }
        return code;
    });
    RecordProperty("peak_kilobytes", std::to_string(end.peakKilobytes));
    ASSERT_TRUE(end.exited) << Describe(end);
    EXPECT_EQ(end.code, 0) << Describe(end);
}

std::string CaseName(const ::testing::TestParamInfo<HostileFile>& info) {
    std::string name;
    for (const char c : info.param.seed.stem().string()) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Seeds, HostileFileTest, ::testing::ValuesIn(HostileFiles()), CaseName);

} // namespace
