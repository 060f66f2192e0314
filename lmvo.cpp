// The program entry: the application object and the settings window, nothing else.
#include "forms/ErrorReporter.h"
#include "forms/SingleInstance.h"
#include "forms/Ulmvo.h"
#include "forms/uSlide.h"
#include "forms/ufrm_about.h"

#include <QApplication>

#include <clocale>
#include <memory>

namespace {

// Every handler reports its own failures; this only catches what would otherwise unwind
// through Qt's event loop.
class LumivoApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            lmvo::reportError(QString::fromUtf8(e.what()));
        } catch (...) {
            lmvo::reportError(QStringLiteral("Unknown error"));
        }
        return false;
    }
};

// The play handler's show in the real slideshow window.
class SlideWindowShow final : public lmvo::SlideShow {
public:
    void SetTimerInterval(int milliseconds) override { window_->SetTimerInterval(milliseconds); }
    void ShowModal() override { window_->exec(); }
    void StopTimer() override { window_->SetTimerEnabled(false); }

private:
    std::unique_ptr<lmvo::Tfrm_slide> window_ = std::make_unique<lmvo::Tfrm_slide>();
};

} // namespace

int main(int argc, char** argv)
{
    LumivoApplication app(argc, argv);
    // QApplication took the numeric format from the environment; libmpv refuses any but "C".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(lmvo::programIcon());

    // Decided before any window exists: a quit() before exec() would be forgotten.
    const lmvo::SingleInstance guard;
    if (lmvo::announceIfRunning(guard))
        return 0;

    // The window, and with it the music player, goes before the application object.
    lmvo::Tfrm_lmvo window({nullptr, nullptr, [] { return std::make_unique<SlideWindowShow>(); }});
    window.show();
    return app.exec();
}
