#include "platform/desktop_open.h"
#include "platform/elevation.h"
#include "support/temp_dir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

// ---- restarting with root rights ---------------------------------------------------------

TEST(Elevation, ARestartThatCannotStartSaysWhy) {
    const StartResult result = RestartElevated("/opt/quillon/quillon", "quillon-no-such-pkexec");
    EXPECT_EQ(result.error, StartError::ExecFailed);
    EXPECT_EQ(result.errorNumber, ENOENT);
    EXPECT_EQ(DescribeRestartFailure(result, "quillon-no-such-pkexec"),
              "quillon: cannot restart with root rights: quillon-no-such-pkexec: No such file or "
              "directory");
}

TEST(Elevation, ARestartThatStartsIsASuccess) {
    TempDir dir;
    // `touch <file>` stands in for `pkexec <executable>`: it shows the argument arrives.
    EXPECT_TRUE(RestartElevated(dir / "started", "touch"));
    for (int i = 0; i < 100 && !std::filesystem::exists(dir / "started"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "started"));
}

// ---- opening the help file ---------------------------------------------------------------

// A folder of fake desktop programs that record how they were called.
class FakeDesktop {
public:
    explicit FakeDesktop(const TempDir& dir) : bin_(dir / "bin"), log_(dir / "log") {
        std::filesystem::create_directories(bin_);
    }
    // A program that prints `output` and appends "<name> <args>" to the log.
    void Add(const std::string& name, const std::string& output = {}) {
        Write(name, "#!/bin/sh\necho \"" + name + " $*\" >> '" + log_.string() + "'\nprintf '" +
                        output + "'\n");
    }
    // A program that exists and is executable but cannot be run.
    void AddBroken(const std::string& name) { Write(name, "#!/nonexistent/interpreter\n"); }

    DesktopPrograms Programs() const {
        DesktopPrograms programs;
        programs.searchPath = bin_.string();
        return programs;
    }
    // The log once `lines` lines have arrived (the programs run detached), or what there is.
    std::string Log(std::size_t lines) const {
        for (int i = 0; i < 150; ++i) {
            const std::string text = ReadFileBytes(log_);
            if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) {
                return text;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return ReadFileBytes(log_);
    }

private:
    void Write(const std::string& name, const std::string& script) {
        WriteFileBytes(bin_ / name, script);
        std::filesystem::permissions(bin_ / name, std::filesystem::perms::owner_all);
    }
    std::filesystem::path bin_;
    std::filesystem::path log_;
};

enum Program { MimeWithHandler = 1, MimeWithout = 2, Opener = 4, Viewer = 8, BrokenViewer = 16 };

struct OpenCase {
    std::string name;
    int programs;
    OpenedWith way;
    OpenError error;
    std::string log; // with FILE for the help file's path
};

class OpenHelpFile : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenHelpFile, UsesTheDesktopHandlerElseTheViewerElseSaysWhy) {
    const OpenCase& c = GetParam();
    TempDir dir;
    FakeDesktop desktop(dir);
    if (c.programs & MimeWithHandler) {
        desktop.Add("xdg-mime", "xchm.desktop\\n");
    }
    if (c.programs & MimeWithout) {
        desktop.Add("xdg-mime");
    }
    if (c.programs & Opener) {
        desktop.Add("xdg-open");
    }
    if (c.programs & Viewer) {
        desktop.Add("xchm");
    }
    if (c.programs & BrokenViewer) {
        desktop.AddBroken("xchm");
    }
    const auto help = dir / "帮助 help.chm";
    WriteFileBytes(help, "ITSF");

    const OpenDocumentResult result = OpenDocumentWithDesktop(help, desktop.Programs());
    EXPECT_EQ(result.way, c.way);
    EXPECT_EQ(result.error, c.error) << result.detail;
    EXPECT_EQ(static_cast<bool>(result), c.error == OpenError::None);
    std::string expected = c.log;
    for (auto at = expected.find("FILE"); at != std::string::npos; at = expected.find("FILE")) {
        expected.replace(at, 4, help.string());
    }
    EXPECT_EQ(desktop.Log(static_cast<std::size_t>(std::count(c.log.begin(), c.log.end(), '\n'))),
              expected);
}

const std::string kQuery = "xdg-mime query default application/vnd.ms-htmlhelp\n";

INSTANTIATE_TEST_SUITE_P(
    Desktops, OpenHelpFile,
    testing::Values(
        OpenCase{"HandlerRegistered", MimeWithHandler | Opener | Viewer, OpenedWith::DesktopHandler,
                 OpenError::None, kQuery + "xdg-open FILE\n"},
        OpenCase{"NoHandlerRegistered", MimeWithout | Opener | Viewer, OpenedWith::Viewer,
                 OpenError::None, kQuery + "xchm FILE\n"},
        OpenCase{"NoDesktopTools", Viewer, OpenedWith::Viewer, OpenError::None, "xchm FILE\n"},
        OpenCase{"HandlerButNoOpener", MimeWithHandler | Viewer, OpenedWith::Viewer,
                 OpenError::None, kQuery + "xchm FILE\n"},
        OpenCase{"Neither", MimeWithout | Opener, OpenedWith::Nothing, OpenError::NoProgram,
                 kQuery},
        OpenCase{"ViewerCannotRun", BrokenViewer, OpenedWith::Nothing, OpenError::StartFailed, ""}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST(OpenHelp, AMissingFileIsAFailureAndStartsNothing) {
    TempDir dir;
    FakeDesktop desktop(dir);
    desktop.Add("xchm");
    const OpenDocumentResult result = OpenDocumentWithDesktop(dir / "help.chm", desktop.Programs());
    EXPECT_EQ(result.error, OpenError::FileMissing);
    EXPECT_EQ(desktop.Log(0), "");
}

} // namespace
