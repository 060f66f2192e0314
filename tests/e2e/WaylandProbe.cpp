// Runs the program's windows in a Wayland session, as the program would, and prints what it
// sees, so that a script can check it:
//   wayland-probe FOLDER  the settings window, then a show of FOLDER started by its play
//                         button; prints "platform NAME", "settings shown", "covers WxH of WxH",
//                         "screen saver held", "second copy refused", "screen saver released"
//                         and "ended", and exits 0 once the show and the window have ended;
//   wayland-probe second  a second copy's start: exits 0 when the guard finds the first.
// Problems are printed as "FAILED: ..." with exit code 1.
#include "app/Application.h"
#include "forms/ErrorReporter.h"
#include "app/SingleInstance.h"
#include "forms/Ulmvo.h"
#include "forms/uSlide.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

void say(const QString& line)
{
    std::puts(line.toUtf8().constData());
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString& why)
{
    say(QStringLiteral("FAILED: ") + why);
    std::_Exit(1);
}

// Calls `then` once `done` holds, looking every 50 ms for at most 10 s.
void whenReady(std::function<bool()> done, std::function<void()> then, const QString& what, int tries = 200)
{
    if (done())
        return then();
    if (tries == 0)
        fail(what);
    QTimer::singleShot(50, [=] { whenReady(done, then, what, tries - 1); });
}

// The real slideshow window with a short interval, checked and ended once it covers its screen.
class ProbeShow final : public lmvo::SlideShow {
public:
    void SetTimerInterval(int) override { window_->SetTimerInterval(300); }
    void ShowModal() override
    {
        lmvo::Tfrm_slide* w = window_.get();
        whenReady([w] { return w->windowHandle() && w->windowHandle()->isExposed() && w->screen()
                               && w->size() == w->screen()->size(); },
                  [w] {
                      const QSize s = w->size();
                      const QSize screen = w->screen()->size();
                      say(QStringLiteral("covers %1x%2 of %3x%4").arg(s.width()).arg(s.height())
                              .arg(screen.width()).arg(screen.height()));
                      if (w->ScreenSaverHeld())
                          say(QStringLiteral("screen saver held"));
                      if (QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("second")}) == 0)
                          say(QStringLiteral("second copy refused"));
                      w->N4Click();
                  },
                  QStringLiteral("the show did not cover its screen"));
        w->exec();
        if (!w->ScreenSaverHeld())
            say(QStringLiteral("screen saver released"));
    }
    void StopTimer() override { window_->SetTimerEnabled(false); }

private:
    std::unique_ptr<lmvo::Tfrm_slide> window_ = std::make_unique<lmvo::Tfrm_slide>();
};

int second()
{
    struct Boxes final : lmvo::MessageBoxes {
        void show(QWidget*, const lmvo::MessageBoxRequest&) override { shown = true; }
        bool shown = false;
    } boxes;
    lmvo::setMessageBoxes(&boxes);
    const lmvo::SingleInstance guard;
    const bool refused = lmvo::announceIfRunning(guard) && boxes.shown;
    lmvo::setMessageBoxes(nullptr);
    return refused ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    lmvo::LumivoApplication app(argc, argv);
    if (argc != 2)
        fail(QStringLiteral("usage: wayland-probe FOLDER | second"));
    if (QString::fromLocal8Bit(argv[1]) == QStringLiteral("second"))
        return second();
    say(QStringLiteral("platform ") + QGuiApplication::platformName());

    const lmvo::SingleInstance guard;
    if (guard.state() != lmvo::SingleInstance::State::Acquired)
        fail(QStringLiteral("the single-instance lock was not taken"));
    lmvo::Tfrm_lmvo window({nullptr, nullptr, [](const QString&) { return std::make_unique<ProbeShow>(); }});
    for (const char* edit : {"e_imagedir", "e_musicdir"})
        window.findChild<QLineEdit*>(QString::fromLatin1(edit))->setText(QString::fromLocal8Bit(argv[1]));
    window.show();
    whenReady([&] { return window.windowHandle() && window.windowHandle()->isExposed(); },
              [&] {
                  say(QStringLiteral("settings shown"));
                  window.findChild<QPushButton*>(QStringLiteral("btn_play"))->click();
              },
              QStringLiteral("the settings window was never shown"));
    const int code = app.exec();
    say(QStringLiteral("ended"));
    return code;
}
