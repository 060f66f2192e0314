#include "forms/ScreenSaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace lmvo {

namespace {

const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");

QDBusMessage screenSaverCall(const QString& method)
{
    return QDBusMessage::createMethodCall(service, path, service, method);
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject* parent) : QObject(parent) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() { release(); }

void ScreenSaverInhibitor::inhibit()
{
    if (requested_)
        return;
    requested_ = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = screenSaverCall(QStringLiteral("Inhibit"));
    call << QCoreApplication::applicationName() << QStringLiteral("Slideshow running");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<std::uint32_t> reply = *w;
        w->deleteLater();
        if (reply.isError())
            return;
        if (requested_) {
            cookie_ = reply.value();
            haveCookie_ = true;
        } else {
            // The show ended before the answer came: give the inhibition back at once.
            uninhibit(reply.value());
        }
    });
}

void ScreenSaverInhibitor::release()
{
    requested_ = false;
    if (haveCookie_) {
        haveCookie_ = false;
        uninhibit(cookie_);
    }
}

void ScreenSaverInhibitor::uninhibit(std::uint32_t cookie)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
    call << cookie;
    bus.asyncCall(call);
}

} // namespace lmvo
