// Runs a real show of large generated pictures in the slideshow window on the real display,
// without looping, and prints only what a script can check without timing anything: how many
// transitions completed, every error a box would have shown, and the peak resident memory.
// Exits 0 when the show has ended through its modal loop.
//
//   show-probe COUNT WIDTH HEIGHT
#include "forms/ErrorReporter.h"
#include "forms/uSlide.h"
#include "scan/SharedState.h"
#include "tests/support/SyntheticPhoto.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// A box would wait for a user no script has: print it instead.
class PrintedBoxes final : public lmvo::MessageBoxes {
public:
    void show(QWidget*, const lmvo::MessageBoxRequest& box) override
    {
        std::printf("error %s\n", box.text.toUtf8().constData());
        std::fflush(stdout);
    }
};

long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const int count = std::atoi(argv[1]), width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    QTemporaryDir dir;
    if (!dir.isValid() || count < 1)
        return 2;
    for (int i = 0; i < count; ++i) {
        const std::string path = dir.filePath(QStringLiteral("p%1.jpg").arg(i)).toStdString();
        if (!lmvo::writeSyntheticPhoto(path, width, height, std::uint32_t(i + 1)))
            return 2;
        lmvo::PictureFiles.push_back(path);
    }
    lmvo::LoopPlay = 0;
    PrintedBoxes boxes;
    lmvo::setMessageBoxes(&boxes);

    int transitions = 0;
    {
        lmvo::Tfrm_slide form;
        form.setWindowTitle(QStringLiteral("lmvo-show-probe"));
        form.TransitionView()->SetDelay(10);
        form.TransitionView()->OnComplete = [&](lmvo::TTransitionView&) { ++transitions; };
        form.SetTimerInterval(500);
        form.exec();
    }
    lmvo::setMessageBoxes(nullptr);
    std::printf("transitions %d\npeak_kb %ld\nended\n", transitions, peakResidentKb());
    return 0;
}
