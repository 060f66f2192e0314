#include "bench/ShowHarness.h"

#include "tests/support/SyntheticPhoto.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace lmvo::bench {

bool shortRun() { return std::getenv("LMVO_BENCH_SHORT") != nullptr; }

std::string offscreenPlatform(const QTemporaryDir& dir, int width, int height)
{
    const QString path = dir.filePath(QStringLiteral("screen-%1x%2.json").arg(width).arg(height));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write the offscreen screen's configuration");
    file.write(QStringLiteral(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": %1, "height": %2,)"
                              R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                   .arg(width)
                   .arg(height)
                   .toUtf8());
    return "offscreen:configfile=" + path.toStdString();
}

void useOffscreenScreen(const QTemporaryDir& dir, int width, int height)
{
    setenv("QT_QPA_PLATFORM", offscreenPlatform(dir, width, height).c_str(), 1);
}

long statusKb(const char* field)
{
    const std::string prefix = std::string(field) + ':';
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

double threadCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    // A steady wake-up besides the events that end the wait; a benchmark may poll.
    QTimer wake;
    wake.start(20);
    const std::int64_t deadline = nowUs() + std::int64_t(timeoutMs) * 1000;
    while (!done()) {
        if (nowUs() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::vector<std::string> generatedPictures(const QTemporaryDir& dir, int width, int height, int count)
{
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("photo-%1x%2-%3.jpg").arg(width).arg(height).arg(i));
        if (!QFileInfo::exists(path) && !writeSyntheticPhoto(path.toStdString(), width, height, std::uint32_t(i + 1)))
            throw std::runtime_error("cannot write the benchmark's pictures");
        paths.push_back(path.toStdString());
    }
    return paths;
}

} // namespace lmvo::bench
