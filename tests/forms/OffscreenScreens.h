#pragma once

// Screens of Qt's offscreen platform plugged and unplugged as a window system would (the
// windows of a screen that goes move to another), through the calls Qt 6.4's offscreen plugin
// hands out by name; put back as they were when the object goes.
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QRect>
#include <qpa/qplatformnativeinterface.h>

#include <vector>

namespace lmvo::test {

struct OffscreenScreen {
    QString name;
    QRect geometry;
};
// Qt lists them by name here, the first as the primary: the monitor is screen 1.
inline const OffscreenScreen kLaptop{QStringLiteral("eDP-1"), {0, 0, 1280, 800}};
inline const OffscreenScreen kMonitor{QStringLiteral("HDMI-1"), {1280, 0, 1600, 900}};

class OffscreenScreens {
    using Get = QJsonObject (*)(QPlatformNativeInterface*);
    using Set = void (*)(const QJsonObject&, QPlatformNativeInterface*);
    QPlatformNativeInterface* native_ = QGuiApplication::platformNativeInterface();
    Get get_ = reinterpret_cast<Get>(native_->nativeResourceForIntegration("configuration"));
    Set set_ = reinterpret_cast<Set>(native_->nativeResourceForIntegration("setConfiguration"));
    QJsonObject saved_ = settable() ? get_(native_) : QJsonObject();

public:
    ~OffscreenScreens() { settable() ? set_(saved_, native_) : void(); }
    [[nodiscard]] bool settable() const { return QGuiApplication::platformName() == u"offscreen" && get_ && set_; }

    void plug(const std::vector<OffscreenScreen>& screens) const
    {
        QJsonArray list;
        for (const auto& [name, r] : screens)
            list.append(QJsonObject{{"name", name}, {"x", r.x()}, {"y", r.y()}, {"width", r.width()},
                                    {"height", r.height()}, {"logicalDpi", 96}, {"logicalBaseDpi", 96}, {"dpr", 1}});
        QJsonObject configuration = get_(native_);
        configuration[QStringLiteral("screens")] = list;
        set_(configuration, native_);
    }
};

} // namespace lmvo::test
