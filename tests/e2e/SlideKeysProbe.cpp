// Runs a looping show of three generated pictures in the real slideshow window on the real
// display, and prints "paused" and "running" whenever the menu's pause command changes state,
// so that a script pressing real keys can see what they did. Exits 0 when the show has ended.
#include "forms/uSlide.h"
#include "scan/SharedState.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    for (QRgb colour : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(colour);
        const QString path = dir.filePath(QStringLiteral("%1.bmp").arg(colour, 0, 16));
        if (!picture.save(path, "BMP"))
            return 2;
        lmvo::PictureFiles.push_back(path.toStdString());
    }
    lmvo::LoopPlay = 1;

    lmvo::Tfrm_slide form;
    form.setWindowTitle(QStringLiteral("lmvo-slide-probe"));
    form.TransitionView()->SetDelay(5);
    form.SetTimerInterval(300);
    QObject::connect(form.N1(), &QAction::changed, [&form] {
        std::puts(form.N1()->isEnabled() ? "running" : "paused");
        std::fflush(stdout);
    });
    form.exec();
    std::puts("ended");
    return 0;
}
