#pragma once

// What the show benchmarks share: a screen of a chosen size on Qt's offscreen platform, the
// process's memory and processor time, generated pictures, and boxes that nobody has to dismiss.

#include "forms/ErrorReporter.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lmvo::bench {

[[nodiscard]] bool shortRun();

// Gives the offscreen platform one screen of width x height device pixels. Must be called
// before the application object is made; the configuration file lives as long as `dir`.
void useOffscreenScreen(const QTemporaryDir& dir, int width, int height);
// The platform setting that makes such a screen, for a child process's environment.
[[nodiscard]] std::string offscreenPlatform(const QTemporaryDir& dir, int width, int height);

// A field of /proc/self/status in kB (VmRSS, VmHWM), or -1.
[[nodiscard]] long statusKb(const char* field);
// Processor time (user and system) of the calling thread.
[[nodiscard]] double threadCpuSeconds();
[[nodiscard]] std::int64_t nowUs();

// Turns the event loop until `done` holds or `timeoutMs` have passed; false on the timeout.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);

// Generated photograph-like JPEGs in `dir`, named by size and number; made once per name.
[[nodiscard]] std::vector<std::string> generatedPictures(const QTemporaryDir& dir, int width, int height, int count);

// Counts the boxes a show would open and lets it go on at once.
class CountedBoxes final : public MessageBoxes {
public:
    void show(QWidget*, const MessageBoxRequest&) override { ++shown; }
    int shown = 0;
};

} // namespace lmvo::bench
