#pragma once

#include <QObject>

#include <cstdint>

namespace lmvo {

// Holds off the desktop's screen saver and screen blanking while it lives, through the
// freedesktop screen-saver service on the session bus. Every call is sent asynchronously:
// where there is no session bus or no such service nothing happens and nothing waits.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;

    void inhibit();
    void release();

    [[nodiscard]] bool requested() const { return requested_; }

private:
    void uninhibit(std::uint32_t cookie);

    bool requested_ = false;
    std::uint32_t cookie_ = 0;
    bool haveCookie_ = false;
};

} // namespace lmvo
