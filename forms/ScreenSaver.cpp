#include "forms/ScreenSaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <optional>
#include <utility>

namespace lmvo {

namespace {

const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");

QDBusMessage screenSaverCall(const QString& method)
{
    return QDBusMessage::createMethodCall(service, path, service, method);
}

// Every call is sent asynchronously: where there is no session bus or no such service nothing
// happens and nothing waits.
class DBusScreenSaver final : public ScreenSaverService {
public:
    void inhibit(std::function<void(std::uint32_t)> granted) override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !QCoreApplication::instance())
            return;
        QDBusMessage call = screenSaverCall(QStringLiteral("Inhibit"));
        call << QCoreApplication::applicationName() << QStringLiteral("Slideshow running");
        // Owned by the application, not by the show: the answer must be heard even when the
        // show has gone before it came.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [granted = std::move(granted)](QDBusPendingCallWatcher* w) {
                             const QDBusPendingReply<std::uint32_t> reply = *w;
                             w->deleteLater();
                             if (!reply.isError())
                                 granted(reply.value());
                         });
    }

    void uninhibit(std::uint32_t cookie) override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
        call << cookie;
        bus.asyncCall(call);
    }
};

DBusScreenSaver dbusScreenSaver;
ScreenSaverService* currentService = &dbusScreenSaver;

} // namespace

ScreenSaverService& screenSaverService() { return *currentService; }

void setScreenSaverService(ScreenSaverService* s) { currentService = s ? s : &dbusScreenSaver; }

struct ScreenSaverInhibitor::Hold {
    bool wanted = false;
    std::optional<std::uint32_t> cookie;
};

ScreenSaverInhibitor::ScreenSaverInhibitor() : hold_(std::make_shared<Hold>()) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() { release(); }

bool ScreenSaverInhibitor::requested() const { return hold_->wanted; }

void ScreenSaverInhibitor::inhibit()
{
    if (hold_->wanted)
        return;
    hold_->wanted = true;
    ScreenSaverService& s = screenSaverService();
    s.inhibit([hold = hold_, &s](std::uint32_t cookie) {
        // One inhibition is kept; any other, or one that comes after the release, goes back.
        if (hold->wanted && !hold->cookie)
            hold->cookie = cookie;
        else
            s.uninhibit(cookie);
    });
}

void ScreenSaverInhibitor::release()
{
    hold_->wanted = false;
    if (const std::optional<std::uint32_t> cookie = std::exchange(hold_->cookie, std::nullopt))
        screenSaverService().uninhibit(*cookie);
}

} // namespace lmvo
