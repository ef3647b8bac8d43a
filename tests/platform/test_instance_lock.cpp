#include "platform/detached_process.h"
#include "platform/instance_lock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class InstanceLockTest : public ::testing::Test {
protected:
    std::filesystem::path File() const { return dir / kInstanceLockName; }

    // Waits up to five seconds for a file another process writes.
    static bool Appears(const std::filesystem::path& file) {
        for (int i = 0; i < 500 && !Written(file); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return Written(file);
    }
    static bool Written(const std::filesystem::path& file) {
        std::error_code missing;
        const auto size = std::filesystem::file_size(file, missing);
        return !missing && size > 0;
    }

    TempDir dir;
};

TEST_F(InstanceLockTest, ASecondTakeIsRefusedUntilTheFirstIsGone) {
    EXPECT_FALSE(InstanceLockHeldElsewhere(File()));
    EXPECT_FALSE(std::filesystem::exists(File())) << "asking creates nothing";
    std::optional<InstanceLock> first = InstanceLock::Take(File());
    ASSERT_TRUE(first->Held());
    EXPECT_EQ(first->Error(), InstanceLockError::None);
    EXPECT_TRUE(InstanceLockHeldElsewhere(File()));

    const InstanceLock second = InstanceLock::Take(File());
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(second.Error(), InstanceLockError::HeldElsewhere);

    first.reset();
    EXPECT_FALSE(InstanceLockHeldElsewhere(File()));
    EXPECT_TRUE(InstanceLock::Take(File()).Held());
}

TEST_F(InstanceLockTest, TakeWaitsOutAMomentaryHolderButNoLonger) {
    std::optional<InstanceLock> holder = InstanceLock::Take(File());
    ASSERT_TRUE(holder->Held());
    const auto start = std::chrono::steady_clock::now();
    const InstanceLock refused = InstanceLock::Take(File(), 150ms);
    EXPECT_EQ(refused.Error(), InstanceLockError::HeldElsewhere);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);

    std::thread release([&] {
        std::this_thread::sleep_for(100ms);
        holder.reset();
    });
    const InstanceLock taken = InstanceLock::Take(File(), 2000ms);
    release.join();
    EXPECT_TRUE(taken.Held());
}

TEST_F(InstanceLockTest, TheKernelDropsTheLockOfAProcessThatWasKilled) {
    const auto ready = dir / "ready";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const InstanceLock lock = InstanceLock::Take(File());
        WriteFileBytes(ready, lock.Held() ? "held" : "refused");
        ::pause();
        ::_exit(0);
    }
    ASSERT_TRUE(Appears(ready));
    EXPECT_EQ(ReadFileBytes(ready), "held");
    EXPECT_EQ(InstanceLock::Take(File()).Error(), InstanceLockError::HeldElsewhere);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(InstanceLock::Take(File()).Held());
}

// The program starts others (the restart with root rights, the help viewer) and may end
// before they do; none of them may keep the folder locked after it.
TEST_F(InstanceLockTest, AProgramStartedWhileHoldingItDoesNotKeepIt) {
    const auto pidFile = dir / "pid";
    std::optional<InstanceLock> lock = InstanceLock::Take(File());
    ASSERT_TRUE(lock->Held());
    ASSERT_TRUE(
        StartDetached({"/bin/sh", "-c", "echo $$ > '" + pidFile.string() + "'; exec sleep 30"}));
    ASSERT_TRUE(Appears(pidFile));
    lock.reset();
    const InstanceLock again = InstanceLock::Take(File());
    EXPECT_TRUE(again.Held());
    ::kill(std::stoi(ReadFileBytes(pidFile)), SIGKILL);
}

TEST_F(InstanceLockTest, AFolderThatCannotHoldTheFileSaysWhy) {
    const InstanceLock lock = InstanceLock::Take(dir / "missing" / kInstanceLockName);
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(lock.Error(), InstanceLockError::CannotOpen);
    EXPECT_EQ(lock.ErrorNumber(), ENOENT);
    EXPECT_FALSE(InstanceLockHeldElsewhere(dir / "missing" / kInstanceLockName));
}

} // namespace
