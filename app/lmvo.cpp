// The program entry: the application object, then the settings window or, given a folder on
// the command line, the show at once.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "forms/Ulmvo.h"
#include "forms/uSlide.h"
#include "forms/ErrorReporter.h"
#include "forms/ufrm_about.h"

#include <QCoreApplication>

#include <memory>

namespace {

// The play handler's show in the real slideshow window.
class SlideWindowShow final : public lmvo::SlideShow {
public:
    void SetTimerInterval(int milliseconds) override { window_->SetTimerInterval(milliseconds); }
    void ShowModal() override { window_->exec(); }
    void StopTimer() override { window_->SetTimerEnabled(false); }

private:
    std::unique_ptr<lmvo::Tfrm_slide> window_ = std::make_unique<lmvo::Tfrm_slide>();
};

std::unique_ptr<lmvo::SlideShow> makeSlideWindowShow() { return std::make_unique<SlideWindowShow>(); }

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = lmvo::argumentsOf(argc, argv);
    if (lmvo::parseCommandLine(arguments).answeredInTerminal()) {
        // Help, the version and a bad argument need no display.
        QCoreApplication terminal(argc, argv);
        const auto translation = lmvo::installTranslation(terminal);
        return lmvo::answerInTerminal(lmvo::parseCommandLine(arguments));
    }

    // The application object takes Qt's own options (-platform, -session, -style, ...) out of
    // the arguments; the program reads what it leaves.
    lmvo::LumivoApplication app(argc, argv);
    QApplication::setWindowIcon(lmvo::programIcon());
    const lmvo::CommandLine line = lmvo::parseCommandLine(lmvo::argumentsOf(argc, argv));
    if (line.answeredInTerminal())
        return lmvo::answerInTerminal(line);

    // Decided before any window exists: a quit() before exec() would be forgotten.
    const lmvo::SingleInstance guard;
    if (lmvo::announceIfRunning(guard))
        return 0;

    if (line.action == lmvo::CommandLine::Action::Show) {
        lmvo::installFontFallbacks();
        lmvo::MediaPlayer player; // goes before the application object
        lmvo::ShowStarter starter(player, makeSlideWindowShow, lmvo::reportError);
        const int code = lmvo::runCommandLineShow(starter, line.choices, lmvo::printErrorLine);
        lmvo::showPendingReports();
        return code;
    }

    // The window, and with it the music player, goes before the application object.
    lmvo::Tfrm_lmvo window({nullptr, nullptr, makeSlideWindowShow});
    window.show();
    const int code = app.exec();
    lmvo::showPendingReports();
    return code;
}
