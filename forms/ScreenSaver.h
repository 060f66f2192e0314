#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace lmvo {

// The desktop's screen-saver service: holds off the screen saver and screen blanking between an
// inhibition and its release. Tests install their own to see the calls.
class ScreenSaverService {
public:
    virtual ~ScreenSaverService() = default;
    // Asks for an inhibition without waiting; `granted` receives its cookie later, on the main
    // thread, or is never called where there is no such service.
    virtual void inhibit(std::function<void(std::uint32_t cookie)> granted) = 0;
    virtual void uninhibit(std::uint32_t cookie) = 0;
};

// The service in use; `setScreenSaverService(nullptr)` restores the real one (the freedesktop
// service on the session bus).
ScreenSaverService& screenSaverService();
void setScreenSaverService(ScreenSaverService* service);

// Holds off the screen saver from inhibit() to release() or its own end, whichever comes first.
// An inhibition granted after the hold was released, or after the holder has gone, is given
// back as soon as it arrives, so a show never leaves the screen saver held.
class ScreenSaverInhibitor {
public:
    ScreenSaverInhibitor();
    ~ScreenSaverInhibitor();
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    void inhibit();
    void release();

    [[nodiscard]] bool requested() const;

private:
    struct Hold;
    std::shared_ptr<Hold> hold_; // shared with the answers still on their way
};

} // namespace lmvo
