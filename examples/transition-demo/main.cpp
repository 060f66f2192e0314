// Two pictures, a style chooser and a Play button: each press brings in the other picture
// through the chosen style. The window is DemoWindow.ui, drawn in Qt Designer.
//
//   transition-demo [FIRST SECOND]     pictures from files, or two drawn ones
//   transition-demo --check STYLE      renders three frames of STYLE offscreen, the new
//                                      picture loaded from a file, and checks that the last
//                                      frame is that picture (exit 0)
#include "ui_DemoWindow.h"

#include <lumivo/TransitionView.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace {

// A picture drawn here, so that the demo needs no files.
QImage drawnPicture(const QColor& background, const QString& text)
{
    QImage image(480, 320, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(160);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

QImage loadedOrDrawn(const char* path, const QColor& background, const QString& text)
{
    QImage image;
    if (path && !image.load(QString::fromLocal8Bit(path)))
        std::fprintf(stderr, "transition-demo: cannot read %s, drawing a picture instead\n", path);
    return image.isNull() ? drawnPicture(background, text) : image;
}

// Three frames (34, 68, 100) of one style on the worker thread; the last must be the new picture.
int check(int style)
{
    const QImage first = drawnPicture(QColor(30, 60, 150), QStringLiteral("A"));
    const QImage second = drawnPicture(QColor(200, 90, 20), QStringLiteral("B"));
    lmvo::TTransitionView view;
    view.SetDelay(0);
    view.SetThreaded(false); // in-line: returns when the first picture is in
    view.SetStyle(0);        // with no custom drawing, the picture appears at once
    view.setPicture(first);
    view.Execute();

    int frames = 0;
    // Frame 0, the snapshot of what was shown, comes first; then the style's frames.
    QObject::connect(&view, &lmvo::TTransitionView::progressChanged, [&](int progress) { frames += progress > 0; });
    QObject::connect(&view, &lmvo::TTransitionView::completed, [&] {
        const bool same = view.currentFrame() == second.convertToFormat(QImage::Format_RGB32);
        std::printf("style %d: %d frames, the last %s the new picture\n", style, frames, same ? "is" : "is NOT");
        QCoreApplication::exit(same && frames == 3 ? 0 : 1);
    });
    view.SetThreaded(true);
    view.SetStyle(style);
    view.SetStep(34);
    // The second picture comes from a file, as most do: decoded by the library's own helper.
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("second.png"));
    QString error;
    if (!second.save(file) || !view.loadPicture(file, &error)) {
        std::printf("cannot load %s: %s\n", qPrintable(file), qPrintable(error));
        return 1;
    }
    view.Execute();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0)
        return check(std::atoi(argv[2]));

    const QImage pictures[2] = {loadedOrDrawn(argc > 2 ? argv[1] : nullptr, QColor(30, 60, 150), "A"),
                                loadedOrDrawn(argc > 2 ? argv[2] : nullptr, QColor(200, 90, 20), "B")};
    QWidget window;
    Ui::DemoWindow ui;
    ui.setupUi(&window);
    for (int style = 1; style <= lmvo::TTransitionView::LastStyle; ++style)
        ui.styles->addItem(QStringLiteral("Style %1").arg(style), style);
    int next = 0;
    QObject::connect(ui.play, &QPushButton::clicked, [&] {
        ui.view->Stop();
        ui.view->SetStyle(ui.styles->currentData().toInt());
        ui.view->setPicture(pictures[next]);
        next = 1 - next;
        ui.view->Execute(); // threaded: returns at once
    });
    window.show();
    return QApplication::exec();
}
