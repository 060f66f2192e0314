// lmvo-frame: renders one frame of a transition through the real picture view, on Qt's
// offscreen platform, and writes it as a 24-bit BMP (or PNG).
//
//   lmvo-frame --old OLD --new NEW --style S --progress P [--step STEP] [--seed SEED] --out OUT
//   lmvo-frame --old OLD --new NEW --progress P [--step STEP] [--seed SEED] --sheet OUT.png
//
// --sheet renders every style at that progress into one numbered contact sheet.

#include "base/Ascii.h"
#include "base/Clock.h"
#include "tools/ContactSheet.h"

#include <lumivo/Random.h>
#include <lumivo/TransitionView.h>

#include <QApplication>
#include <QImage>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace lmvo {
namespace {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One frame to render: the transition from `oldPicture` to `newPicture` at `progress`.
struct FrameRequest {
    int style = 0;
    int progress = 0;
    int step = 4;
    std::uint32_t seed = 1;
};

struct Options {
    std::string oldPath;
    std::string newPath;
    std::string outPath;
    std::string sheetPath;
    FrameRequest frame;
};

// Shows the view and paints it once its window can be painted; false when it was not painted.
bool showAndPaint(TTransitionView& view)
{
    bool painted = false;
    QObject::connect(&view, &TTransitionView::painted, &view, [&painted] { painted = true; });
    view.show();
    const std::int64_t deadline = nowMs() + 5000;
    while (!(view.windowHandle() && view.windowHandle()->isExposed()) && nowMs() < deadline) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    view.repaint();
    return painted;
}

// Renders the frame exactly as a running transition composes it: the view first really shows
// the old picture (unscaled, top left, painted into its paint buffer), so that the transition
// snapshots it; then it prepares the transition to the new picture and composes the frame at
// `request.progress`, also when that is the progress the transition starts from. The random
// generator is seeded right before the frame.
QImage renderFrame(const TPicture& oldPicture, const TPicture& newPicture, const FrameRequest& request)
{
    if (oldPicture.width() != newPicture.width() || oldPicture.height() != newPicture.height())
        throw std::runtime_error("the old and the new picture differ in size");

    TTransitionView view;
    view.SetThreaded(false);
    view.SetDelay(0);
    view.SetStyle(0); // without a handler: the picture appears whole in one step
    view.SetPicture(&oldPicture);
    view.Execute();
    if (!showAndPaint(view) || view.pixelSize() != QSize(oldPicture.width(), oldPicture.height()))
        throw std::runtime_error("the old picture could not be painted");

    view.SetStyle(request.style);
    view.SetStep(request.step);
    view.SetManual(true);
    view.SetPicture(&newPicture);
    view.Execute();
    processRandom().seed(request.seed);
    view.ComposeFrameAt(request.progress);
    QImage frame = view.currentFrame();
    view.Stop();
    return frame;
}

// ---------------------------------------------------------------- output

void put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A bottom-up, uncompressed 24-bit BMP with a 40-byte info header; rows padded to 4 bytes.
std::vector<unsigned char> encodeBmp24(const QImage& b)
{
    const std::uint32_t rowBytes = (std::uint32_t(b.width()) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * std::uint32_t(b.height());
    std::vector<unsigned char> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + imageBytes); // file size
    put32(out, 0);               // reserved
    put32(out, 54);              // offset of the pixels
    put32(out, 40);              // info header size
    put32(out, std::uint32_t(b.width()));
    put32(out, std::uint32_t(b.height()));
    put16(out, 1);  // planes
    put16(out, 24); // bits per pixel
    put32(out, 0);  // BI_RGB
    put32(out, imageBytes);
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (std::int32_t y = b.height() - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (std::int32_t x = 0; x < b.width(); ++x) {
            const QRgb c = b.pixel(x, y);
            out.push_back(static_cast<unsigned char>(c & 0xFF));
            out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
            out.push_back(static_cast<unsigned char>((c >> 16) & 0xFF));
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

void writeFrame(const QImage& frame, const std::string& path)
{
    if (asciiLower(path).ends_with(".png")) {
        if (!frame.save(QString::fromLocal8Bit(path.c_str()), "PNG"))
            throw std::runtime_error("cannot write " + path);
        return;
    }
    const std::vector<unsigned char> bytes = encodeBmp24(frame);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

// ---------------------------------------------------------------- arguments

std::int64_t parseNumber(const std::string& option, const std::string& text, std::int64_t lo, std::int64_t hi)
{
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        throw UsageError(option + " needs a whole number from " + std::to_string(lo) + " to " +
                         std::to_string(hi) + ", not \"" + text + "\"");
    return value;
}

Options parseArguments(int argc, char** argv)
{
    std::map<std::string, std::string> given;
    static const std::vector<std::string> known{"--old", "--new", "--style", "--progress",
                                                "--step", "--seed", "--out", "--sheet"};
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        if (std::find(known.begin(), known.end(), option) == known.end())
            throw UsageError("unknown argument \"" + option + "\"");
        if (i + 1 >= argc)
            throw UsageError(option + " needs a value");
        if (!given.emplace(option, argv[i + 1]).second)
            throw UsageError(option + " is given twice");
    }
    const bool sheet = given.count("--sheet") != 0;
    for (const char* required : {"--old", "--new", "--progress"})
        if (!given.count(required))
            throw UsageError(std::string(required) + " is missing");
    for (const char* frameOnly : {"--style", "--out"}) {
        const bool has = given.count(frameOnly) != 0;
        if (has == sheet)
            throw UsageError(std::string(frameOnly) + (sheet ? " does not go with --sheet" : " is missing"));
    }
    if (sheet && given["--sheet"].empty())
        throw UsageError("--sheet needs a file name");

    Options o;
    o.oldPath = given["--old"];
    o.newPath = given["--new"];
    o.outPath = given["--out"];
    o.sheetPath = given["--sheet"];
    if (!sheet)
        o.frame.style = int(parseNumber("--style", given["--style"], 0, 255));
    o.frame.progress = int(parseNumber("--progress", given["--progress"], 0, 100));
    if (given.count("--step"))
        o.frame.step = int(parseNumber("--step", given["--step"], 0, 65535));
    if (given.count("--seed"))
        o.frame.seed = std::uint32_t(parseNumber("--seed", given["--seed"], 0, 0xFFFFFFFF));
    return o;
}

// Qt's own chatter (offscreen platform notes) would bury the one line an error owes.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "lmvo-frame: %s\n", message.toLocal8Bit().constData());
        std::abort();
    }
}

int run(int argc, char** argv)
{
    const Options o = parseArguments(argc, argv);
    // Qt reads options such as --style from its own argument list: give it none.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    TPicture oldPicture;
    TPicture newPicture;
    oldPicture.LoadFromFile(o.oldPath);
    newPicture.LoadFromFile(o.newPath);
    if (o.sheetPath.empty()) {
        writeFrame(renderFrame(oldPicture, newPicture, o.frame), o.outPath);
        return 0;
    }
    const QImage sheet = contactSheet(TTransitionView::LastStyle, [&](int style) {
        FrameRequest request = o.frame;
        request.style = style;
        return renderFrame(oldPicture, newPicture, request);
    });
    if (!sheet.save(QString::fromLocal8Bit(o.sheetPath.c_str()), "PNG"))
        throw std::runtime_error("cannot write " + o.sheetPath);
    return 0;
}

} // namespace
} // namespace lmvo

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(lmvo::quietQt);
    try {
        return lmvo::run(argc, argv);
    } catch (const lmvo::UsageError& e) {
        std::fprintf(stderr, "lmvo-frame: %s (usage: lmvo-frame --old OLD --new NEW --style S --progress P "
                             "[--step STEP] [--seed SEED] --out OUT, or --sheet OUT.png instead of --style and --out)\n",
                     e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lmvo-frame: %s\n", e.what());
        return 1;
    }
}
