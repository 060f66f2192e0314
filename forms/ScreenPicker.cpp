#include "forms/ScreenPicker.h"

#include "forms/ScreenChoice.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace lmvo {

namespace {

constexpr char Context[] = "lmvo::Tfrm_lmvo";
const char* const BoxTip = QT_TRANSLATE_NOOP("lmvo::Tfrm_lmvo", "放映使用的屏幕");

// What an entry's tip tells of its screen: the name, the monitor's maker and model where it
// says them, and the size in pixels.
QString detailsOf(const QScreen& screen)
{
    const QSize pixels = screen.geometry().size() * screen.devicePixelRatio();
    QStringList parts{screen.name()};
    const QString model = (screen.manufacturer() + u' ' + screen.model()).trimmed();
    if (!model.isEmpty())
        parts << model;
    parts << QStringLiteral("%1 × %2").arg(pixels.width()).arg(pixels.height());
    return parts.join(QStringLiteral(", "));
}

} // namespace

ScreenPicker::ScreenPicker(QComboBox& box, QWidget& window) : QObject(&box), box_(box), window_(window)
{
    box_.setToolTip(QCoreApplication::translate(Context, BoxTip));
    connect(&box_, &QComboBox::activated, this, [this](int entry) {
        if (entry >= 0 && std::size_t(entry) < listed_.size())
            picked_ = listed_[std::size_t(entry)];
    });
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this] { refill(); });
    // The screen may still be in Qt's list when this is told: it is left out here.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* leaving) { refill(leaving); });
    window_.installEventFilter(this);
    refill();
}

QString ScreenPicker::chosen() const
{
    return screenNumberText(choice());
}

QScreen* ScreenPicker::choice() const
{
    return picked_ ? picked_.data() : window_.screen();
}

bool ScreenPicker::eventFilter(QObject* watched, QEvent* event)
{
    // The window's own screen is known once it has a native window, from its first showing.
    if (watched == &window_ && event->type() == QEvent::Show && !following_ && window_.windowHandle()) {
        following_ = true;
        connect(window_.windowHandle(), &QWindow::screenChanged, this, [this] { showChoice(); });
        showChoice();
    }
    return QObject::eventFilter(watched, event);
}

void ScreenPicker::refill(const QScreen* leaving)
{
    box_.clear();
    listed_.clear();
    for (QScreen* s : QGuiApplication::screens()) {
        if (s == leaving)
            continue;
        listed_.emplace_back(s);
        box_.addItem(QStringLiteral("%1: %2").arg(listed_.size()).arg(s->name()));
        box_.setItemData(box_.count() - 1, detailsOf(*s), Qt::ToolTipRole);
    }
    if (picked_ == leaving)
        picked_ = nullptr;
    box_.setVisible(listed_.size() > 1);
    showChoice();
}

void ScreenPicker::showChoice()
{
    const QScreen* shown = choice();
    for (std::size_t i = 0; i < listed_.size(); ++i)
        if (listed_[i] == shown)
            box_.setCurrentIndex(int(i));
}

} // namespace lmvo
