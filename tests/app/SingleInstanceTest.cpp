#include "forms/ErrorReporter.h"
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {
namespace {

// Runs inside a second copy of this test program, started by the tests below through the
// environment variable LMVO_LOCK_HELPER:
//   "check"  announces like a second copy of the program would: prints the box it would show
//            and exits 0 when another copy runs, exits 1 when it got the lock itself;
//   "hold"   takes the lock, says "held" and waits to be killed.
TEST(SingleInstanceHelper, RunsOnlyAsASecondProcess)
{
    const char* mode = std::getenv("LMVO_LOCK_HELPER");
    if (!mode)
        GTEST_SKIP() << "helper mode for the other tests";
    SingleInstance guard;
    if (std::string(mode) == "hold") {
        std::printf(guard.state() == SingleInstance::State::Acquired ? "held\n" : "not held\n");
        std::fflush(stdout);
        sleep(60);
        _exit(2);
    }
    struct Printer final : MessageBoxes {
        void show(QWidget*, const MessageBoxRequest& box) override
        {
            std::printf("%s|%s|%s\n", box.text.toUtf8().constData(),
                        box.caption.toUtf8().constData(),
                        box.icon == BoxIcon::Information ? "information" : "stop");
        }
    } printer;
    setMessageBoxes(&printer);
    const bool second = announceIfRunning(guard);
    std::fflush(stdout);
    _exit(second ? 0 : 1);
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        setenv("XDG_RUNTIME_DIR", runtime.path().toUtf8().constData(), 1);
    }

    // Starts this program again in a helper mode.
    void startHelper(QProcess& process, const char* mode)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LMVO_LOCK_HELPER"), QString::fromUtf8(mode));
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_filter=SingleInstanceHelper.*")});
        ASSERT_TRUE(process.waitForStarted());
    }

    // Exit code and output of a "check" helper.
    std::pair<int, std::string> check()
    {
        QProcess process;
        startHelper(process, "check");
        EXPECT_TRUE(process.waitForFinished(30000));
        const std::string out = process.readAllStandardOutput().toStdString();
        return {process.exitCode(), out};
    }

    QTemporaryDir runtime;
};

TEST_F(SingleInstanceTest, SecondProcessAnnouncesTheFirstAndEndsWithZero)
{
    SingleInstance first;
    ASSERT_EQ(first.state(), SingleInstance::State::Acquired) << first.problem();
    EXPECT_EQ(first.lockPath(), runtime.filePath(QStringLiteral("lmvo")).toStdString());

    const auto [code, out] = check();
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("“Lumivo”已运行！||information"), std::string::npos) << out;
}

TEST_F(SingleInstanceTest, ProcessAloneShowsNothing)
{
    const auto [code, out] = check();
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out.find("Lumivo"), std::string::npos) << out;
}

TEST_F(SingleInstanceTest, LockEndsWithItsOwner)
{
    {
        SingleInstance first;
        SingleInstance second;
        EXPECT_TRUE(second.alreadyRunning());
    }
    SingleInstance again;
    EXPECT_EQ(again.state(), SingleInstance::State::Acquired);
}

TEST_F(SingleInstanceTest, CrashedCopyLeavesNoLockBehind)
{
    QProcess holder;
    startHelper(holder, "hold");
    QByteArray line;
    while (!line.contains("held") && (holder.canReadLine() || holder.waitForReadyRead(30000)))
        line = holder.canReadLine() ? holder.readLine().trimmed() : QByteArray();
    ASSERT_EQ(line.toStdString(), "held");
    EXPECT_TRUE(SingleInstance().alreadyRunning());

    holder.kill();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(SingleInstance().state(), SingleInstance::State::Acquired);
}

// A browser opened from the home-page link outlives the program; it must not keep the lock.
TEST_F(SingleInstanceTest, StartedProgramsDoNotInheritTheLock)
{
    QProcess child;
    {
        SingleInstance first;
        ASSERT_EQ(first.state(), SingleInstance::State::Acquired);
        child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        ASSERT_TRUE(child.waitForStarted());
    }
    EXPECT_EQ(SingleInstance().state(), SingleInstance::State::Acquired);
    child.kill();
    child.waitForFinished();
}

class LockFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    std::string base() const { return tmp.path().toStdString(); }
    std::string fallback() const { return base() + "/lmvo-" + std::to_string(getuid()); }
    QTemporaryDir tmp;
};

TEST_F(LockFolderTest, RuntimeFolderIsUsedWhenSet)
{
    EXPECT_EQ(lockFolder("/run/user/1000", base()), "/run/user/1000");
}

TEST_F(LockFolderTest, FallbackIsAPrivateFolderMadeSilently)
{
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(lockFolder(unset, base()), fallback());
        struct stat info {};
        ASSERT_EQ(stat(fallback().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

TEST_F(LockFolderTest, FallbackOpenToOthersIsRefused)
{
    ASSERT_EQ(mkdir(fallback().c_str(), 0777), 0);
    ASSERT_EQ(chmod(fallback().c_str(), 0777), 0);
    EXPECT_THROW(lockFolder(nullptr, base()), std::runtime_error);
}

TEST_F(LockFolderTest, FallbackThatIsALinkIsRefused)
{
    ASSERT_EQ(mkdir((base() + "/elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(symlink((base() + "/elsewhere").c_str(), fallback().c_str()), 0);
    EXPECT_THROW(lockFolder(nullptr, base()), std::runtime_error);
}

} // namespace
} // namespace lmvo
