// The program entry: the application object, then the settings window or, given a folder on
// the command line, the show at once.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "forms/Ulmvo.h"
#include "forms/uSlide.h"
#include "forms/ErrorReporter.h"
#include "forms/ScreenChoice.h"
#include "forms/ufrm_about.h"

#include <QCoreApplication>

#include <memory>
#include <optional>

namespace {

// The play handler's show in the real slideshow window, on the screen chosen (or, should that
// one be gone by now, the one under the pointer).
class SlideWindowShow final : public lmvo::SlideShow {
public:
    explicit SlideWindowShow(const QString& screen)
        : window_(std::make_unique<lmvo::Tfrm_slide>(lmvo::findScreen(screen)))
    {
    }
    void SetTimerInterval(int milliseconds) override { window_->SetTimerInterval(milliseconds); }
    void ShowModal() override { window_->exec(); }
    void StopTimer() override { window_->SetTimerEnabled(false); }

private:
    std::unique_ptr<lmvo::Tfrm_slide> window_;
};

std::unique_ptr<lmvo::SlideShow> makeSlideWindowShow(const QString& screen)
{
    return std::make_unique<SlideWindowShow>(screen);
}

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
    // A bad argument like the others, found only now that the window system tells the screens.
    if (const std::optional<QString> error = lmvo::unknownScreen(line.choices)) {
        lmvo::printErrorLine(*error);
        return lmvo::ExitBadArgument;
    }

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
