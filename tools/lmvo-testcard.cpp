// Writes the two test cards the gallery and manual checks use: generated here, so the
// repository needs no photographs. A grid, a letter and a frame make stretching, sliding,
// wiping and mirroring easy to tell apart.
//
//   lmvo-testcard OUT_DIR [WIDTH HEIGHT]   writes OUT_DIR/card-a.jpg and OUT_DIR/card-b.jpg

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

namespace {

QImage card(int w, int h, QColor from, QColor to, QColor ink, const QString& letter)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    p.fillRect(img.rect(), g);

    const int step = std::max(8, w / 10);
    p.setPen(QPen(ink, 1));
    for (int x = step; x < w; x += step)
        p.drawLine(x, 0, x, h);
    for (int y = step; y < h; y += step)
        p.drawLine(0, y, w, y);
    p.setPen(QPen(ink, std::max(2, w / 100)));
    p.drawRect(img.rect().adjusted(w / 50, h / 50, -w / 50, -h / 50));
    p.setBrush(ink);
    p.drawEllipse(QPoint(w / 8, h / 8), w / 20, w / 20); // a corner mark shows turning over

    QFont font;
    font.setPixelSize(h * 2 / 3);
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(img.rect(), Qt::AlignCenter, letter);
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: lmvo-testcard OUT_DIR [WIDTH HEIGHT]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int w = argc == 4 ? std::atoi(argv[2]) : 800, h = argc == 4 ? std::atoi(argv[3]) : 600;
    if (w < 1 || h < 1 || w > 8000 || h > 8000) {
        std::fprintf(stderr, "lmvo-testcard: size must be 1..8000 on each side\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool ok =
        card(w, h, QColor(255, 196, 84), QColor(196, 48, 40), QColor(60, 20, 10), "A")
            .save(out.filePath("card-a.jpg"), "JPG", 90) &&
        card(w, h, QColor(96, 220, 230), QColor(30, 60, 160), QColor(240, 250, 255), "B")
            .save(out.filePath("card-b.jpg"), "JPG", 90);
    if (!ok)
        std::fprintf(stderr, "lmvo-testcard: cannot write the cards into %s\n", argv[1]);
    return ok ? 0 : 1;
}
