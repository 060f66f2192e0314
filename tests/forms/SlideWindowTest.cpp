// The slideshow window driven through its real modal loop on the offscreen platform, with a
// short interval and pictures of solid colours, so the colour shown tells which picture it is:
// what only a window with its real preloader, decoder and boxes shows. The show's decisions are
// tested without a window in tests/show.
#include "decoder/DecoderClient.h"
#include "forms/ErrorReporter.h"
#include "show/PicturePreloader.h"
#include "forms/ScreenSaver.h"
#include "forms/uSlide.h"
#include "scan/SharedState.h"
#include "tests/support/AwaitEvents.h"

#include <lumivo/TransitionView.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace lmvo {
namespace {

const std::vector<Color> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080};

// Boxes as a user sees them; `whileOpen` runs while a box is open, as long as a user reads it.
class RecordingBoxes final : public MessageBoxes {
public:
    void show(QWidget* owner, const MessageBoxRequest& box) override
    {
        ++open;
        maxOpen = std::max(maxOpen, open);
        owners.push_back(owner);
        shown.push_back(box);
        if (whileOpen)
            whileOpen();
        --open;
    }
    // How many boxes name `file`.
    [[nodiscard]] int naming(const QString& file) const
    {
        return int(std::count_if(shown.begin(), shown.end(), [&](const auto& b) { return b.text.contains(file); }));
    }
    std::vector<MessageBoxRequest> shown;
    std::vector<QWidget*> owners;
    std::function<void()> whileOpen;
    int open = 0;
    int maxOpen = 0;
};

void writePicture(const QString& path, Color colour, QSize size = {40, 30})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor::fromRgb(QRgb(0xFF000000u | colour)));
    ASSERT_TRUE(img.save(path, "BMP"));
}

class SlideWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setMessageBoxes(&boxes);
        PictureFiles.clear();
        PictureIndex = 0;
        LoopPlay = 0;
        KeepProportions = false;
        ShufflePlay = false;
    }
    void TearDown() override
    {
        setMessageBoxes(nullptr);
        PictureFiles.clear();
        KeepProportions = false;
        ShufflePlay = false;
    }

    QString pathOf(int i) const { return dir.filePath(QStringLiteral("p%1.bmp").arg(i)); }

    // Pictures named p<i>.bmp in solid colours; `broken` ones hold garbage.
    void makePictures(int count, const std::vector<int>& broken = {}, QSize size = {40, 30})
    {
        for (int i = 0; i < count; ++i) {
            if (std::find(broken.begin(), broken.end(), i) != broken.end()) {
                QFile f(pathOf(i));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write("not a picture at all");
            } else {
                writePicture(pathOf(i), palette[std::size_t(i)], size);
            }
            PictureFiles.push_back(pathOf(i).toStdString());
        }
    }

    // Starts a show whose first tick waits for its picture; Escape is pressed once `load` is under
    // way. Returns when the window has gone.
    void escapeDuringTheFirstLoad(const PictureLoader& load)
    {
        Tfrm_slide* form = nullptr;
        setPictureLoader([&](const std::string& path, const DisplaySize& size, std::stop_token stop) {
            QMetaObject::invokeMethod(qApp, [&] { form->FormKeyDown(Qt::Key_Escape); }, Qt::QueuedConnection);
            return load(path, size, std::move(stop));
        });
        Tfrm_slide window;
        form = &window;
        setPictureLoader(nullptr);
        window.TimerTimer();
        EXPECT_TRUE(window.TickWaiting()); // for picture 0
        EXPECT_TRUE(awaitEvents([&] { return window.CloseRequested(); }));
        EXPECT_FALSE(window.TransitionView()->Picture().hasGraphic());
        EXPECT_TRUE(window.WaitingPanel()->isVisibleTo(&window));
    }

    // Creates the window, records the picture every completed transition shows, and runs the
    // modal show; `onShown(n)` runs after the n-th display.
    std::vector<int> runShow(const std::function<void(Tfrm_slide&, int)>& onShown = {},
                             const std::function<void(Tfrm_slide&)>& prepare = {})
    {
        shown.clear();
        Tfrm_slide form;
        window = &form;
        form.resize(320, 240);
        form.TransitionView()->SetDelay(0);
        form.TransitionView()->SetStep(25);
        form.TransitionView()->OnComplete = [&](TTransitionView& v) {
            const QImage b = v.currentFrame();
            const Color c = b.pixel(b.width() / 2, b.height() / 2) & 0xFFFFFF;
            const auto it = std::find(palette.begin(), palette.end(), c);
            shown.push_back(it == palette.end() ? -1 : int(it - palette.begin()));
            if (onShown)
                onShown(form, int(shown.size()));
        };
        if (prepare)
            prepare(form);
        form.SetTimerInterval(20);
        QTimer::singleShot(20000, &form, [&] {
            ADD_FAILURE() << "the show did not end";
            form.N4Click();
        });
        form.exec();
        return shown;
    }

    QTemporaryDir dir;
    RecordingBoxes boxes;
    std::vector<int> shown;
    const QWidget* window = nullptr;
};

// A box held open across several ticks: the failures met meanwhile follow it, none is lost, only
// one box is ever open, and every box lies over the show.
TEST_F(SlideWindowTest, FailuresDuringAnOpenBoxAreAllReportedAfterIt)
{
    makePictures(6, {1, 3, 4});
    boxes.whileOpen = [this] {
        const std::size_t until = shown.size() + 2;
        while (shown.size() < until && !(window && static_cast<const Tfrm_slide*>(window)->CloseRequested()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    EXPECT_EQ(runShow(), (std::vector<int>{0, 2, 5, 0}));
    EXPECT_EQ(boxes.maxOpen, 1);
    for (int i : {1, 3, 4})
        EXPECT_EQ(boxes.naming(QStringLiteral("p%1.bmp").arg(i)), 1) << "picture " << i;
    for (const MessageBoxRequest& b : boxes.shown)
        EXPECT_EQ(b.icon, BoxIcon::Stop);
    for (const QWidget* owner : boxes.owners)
        EXPECT_EQ(owner, window);
}

TEST_F(SlideWindowTest, FirstTransitionStartsFromTheBlackWaitingPanel)
{
    makePictures(2);
    int frames = 0;
    runShow([](Tfrm_slide& f, int) { f.FormKeyDown(Qt::Key_Escape); },
            [&](Tfrm_slide& f) {
                f.TransitionView()->OnProgress = [&](TTransitionView& v) {
                    if (++frames != 1)
                        return;
                    const QImage b = v.currentFrame();
                    for (int y = 0; y < b.height(); y += 7)
                        for (int x = 0; x < b.width(); x += 7) {
                            const Color c = b.pixel(x, y) & 0xFFFFFF;
                            ASSERT_TRUE(c == 0x000000 || c == palette[0]) << x << "," << y;
                        }
                };
            });
    EXPECT_GE(frames, 1);
}

// Every picture is loaded at the control's client size, also after that size has changed, and
// covers it: stretched, or fitted inside on black.
class PictureSizeTest : public SlideWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PictureSizeTest, EveryPictureIsLoadedAtTheClientSizeAndCoversIt)
{
    KeepProportions = GetParam();
    makePictures(3, {}, {80, 30});
    LoopPlay = 1;
    Rect firstClient;
    const auto shownNow = runShow([&](Tfrm_slide& f, int n) {
        TTransitionView& v = *f.TransitionView();
        const Rect client = rectOfSize(v.pixelSize().width(), v.pixelSize().height());
        if (n == 1)
            firstClient = client;
        else
            EXPECT_NE(client, firstClient) << "the window was not resized";
        EXPECT_EQ(v.Picture().width(), client.width()) << "display " << n;
        EXPECT_EQ(v.Picture().height(), client.height()) << "display " << n;
        EXPECT_EQ(v.geometry(), v.parentWidget()->rect());
        const QImage screen = v.grab().toImage();
        ASSERT_FALSE(screen.isNull());
        const Color edge = KeepProportions ? 0x000000 : palette[std::size_t(n - 1)];
        for (auto [x, y] : {std::pair{0, 0}, {screen.width() - 1, 0}, {0, screen.height() - 1},
                            {screen.width() - 1, screen.height() - 1}})
            EXPECT_EQ(screen.pixel(x, y) & 0xFFFFFF, edge) << x << "," << y;
        EXPECT_EQ(screen.pixel(screen.width() / 2, screen.height() / 2) & 0xFFFFFF, palette[std::size_t(n - 1)]);
        if (n == 1) {
            f.setWindowState(Qt::WindowNoState);
            f.resize(400, 300);
        }
        if (n == 3)
            f.FormKeyDown(Qt::Key_Escape);
    });
    EXPECT_EQ(shownNow, (std::vector<int>{0, 1, 2}));
}

INSTANTIATE_TEST_SUITE_P(Fits, PictureSizeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "KeepProportions" : "Stretch"; });

// A file changed after its picture was prepared and before its tick: what its tick meets is the
// file as it is then.
struct ChangeCase {
    const char* name;
    std::function<void(const QString& path)> change;
    std::vector<int> shown;
    bool reported;
    friend void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }
};

class FileChangeTest : public SlideWindowTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(FileChangeTest, TheTickMeetsTheFileAsItIsNow)
{
    makePictures(3);
    // Changed on the worker right after its picture was decoded, the first time.
    std::atomic<bool> changed = false;
    const std::string changing = pathOf(1).toStdString();
    setPictureLoader([&](const std::string& path, const DisplaySize& size, std::stop_token stop) {
        Bitmap picture = decodeFileAt(path, size, std::move(stop));
        if (path == changing && !changed.exchange(true))
            GetParam().change(pathOf(1));
        return picture;
    });
    const auto shownNow = runShow({}, [](Tfrm_slide&) { setPictureLoader(nullptr); });
    EXPECT_TRUE(changed);
    EXPECT_EQ(shownNow, GetParam().shown);
    EXPECT_EQ(boxes.naming(QStringLiteral("p1.bmp")), GetParam().reported ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, FileChangeTest,
    ::testing::Values(ChangeCase{"Removed", [](const QString& p) { QFile::remove(p); }, {0, 2, 0}, true},
                      ChangeCase{"ReplacedByAnotherPicture",
                                 [](const QString& p) {
                                     writePicture(p + QStringLiteral(".new.bmp"), palette[6]);
                                     std::rename((p + QStringLiteral(".new.bmp")).toLocal8Bit().constData(),
                                                 p.toLocal8Bit().constData());
                                 },
                                 {0, 6, 2, 0},
                                 false},
                      ChangeCase{"ReplacedByAFolder",
                                 [](const QString& p) {
                                     QFile::remove(p);
                                     QDir().mkdir(p);
                                 },
                                 {0, 2, 0},
                                 true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SlideWindowTest, EscapeWhileATickWaitsForItsPictureEndsTheShowAndCancelsTheLoad)
{
    makePictures(2);
    std::mutex m;
    std::condition_variable_any never;
    bool cancelled = false;
    // The load of picture 0 never ends by itself.
    escapeDuringTheFirstLoad([&](const std::string&, const DisplaySize&, std::stop_token stop) -> Bitmap {
        std::unique_lock lock(m);
        never.wait(lock, stop, [] { return false; });
        cancelled = true;
        throw PictureCancelled();
    }); // the window has gone: the load is cancelled and the worker joined
    const std::lock_guard lock(m);
    EXPECT_TRUE(cancelled);
}

// The decoder process crashing on a picture, or killed, is one box and the show goes on with
// the next picture.
class DecoderCrashTest : public SlideWindowTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override
    {
        setDecoderProgram({});
        SlideWindowTest::TearDown();
    }
};

TEST_P(DecoderCrashTest, IsOneBoxAndTheShowGoesOn)
{
    setDecoderProgram(LMVO_DECODER_PROBE);
    makePictures(3);
    QFile cue(pathOf(1));
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cue.write(QByteArray("PROBE ") + GetParam());
    cue.close();
    EXPECT_EQ(runShow(), (std::vector<int>{0, 2, 0}));
    EXPECT_EQ(boxes.naming(QStringLiteral("p1.bmp")), 1);
}

INSTANTIATE_TEST_SUITE_P(Decoder, DecoderCrashTest, ::testing::Values("segv", "kill"),
                         [](const auto& info) { return std::string(info.param); });

// A decode that never ends (the probe hangs on it): Escape ends the show and the window goes
// without waiting for it.
TEST_F(DecoderCrashTest, EscapeDuringADecodeThatNeverEndsClosesTheWindow)
{
    setDecoderProgram(LMVO_DECODER_PROBE);
    makePictures(2);
    QFile cue(pathOf(0));
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cue.write("PROBE hang");
    cue.close();
    escapeDuringTheFirstLoad(decodeFileAt); // the window has gone: its decoder process is killed
    EXPECT_EQ(boxes.shown.size(), 0u);
}

TEST_F(SlideWindowTest, WaitingPanelCoversTheFirstIntervalAndMenuStartsRunning)
{
    makePictures(2);
    Tfrm_slide form;
    EXPECT_TRUE(form.N1()->isEnabled());
    EXPECT_FALSE(form.N2()->isEnabled());
    EXPECT_EQ(form.N1()->text(), QStringLiteral("暂停"));
    EXPECT_EQ(form.N2()->text(), QStringLiteral("继续"));
    EXPECT_EQ(form.N4()->text(), QStringLiteral("退出"));
    EXPECT_TRUE(form.TimerEnabled());
    EXPECT_EQ(form.TimerInterval(), 5000);
    EXPECT_EQ(PictureIndex, 0); // picture 0 is being prepared for the first tick
    form.show();
    EXPECT_TRUE(form.WaitingPanel()->isVisible());
    form.N1Click();
    EXPECT_FALSE(form.TimerEnabled());
    form.N2Click();
    EXPECT_TRUE(form.TimerEnabled());
    form.TransitionView()->SetDelay(0);
    form.TimerTimer();
    EXPECT_TRUE(awaitEvents([&] { return !form.TickWaiting(); }));
    EXPECT_FALSE(form.WaitingPanel()->isVisible());
    EXPECT_EQ(PictureIndex, 1);
}

TEST_F(SlideWindowTest, WindowManagerCloseEndsTheShowLikeExit)
{
    makePictures(2);
    Tfrm_slide form;
    form.show();
    form.close();
    EXPECT_TRUE(form.CloseRequested());
    EXPECT_FALSE(form.TimerEnabled());
}

TEST_F(SlideWindowTest, ReportMadeAsTheShowEndsIsShownBeforeItsLoopReturns)
{
    makePictures(1);
    Tfrm_slide form;
    QObject::connect(&form, &QDialog::finished, [] { reportError(QStringLiteral("late report")); });
    QTimer::singleShot(0, &form, [&] { form.N4Click(); });
    form.exec();
    EXPECT_EQ(boxes.naming(QStringLiteral("late report")), 1);
}

TEST_F(SlideWindowTest, EmptyListIsInert)
{
    Tfrm_slide form;
    EXPECT_FALSE(form.TimerEnabled());
    form.TimerTimer();
    form.N2Click();
    EXPECT_FALSE(form.TimerEnabled());
    EXPECT_FALSE(form.TransitionView()->Busy());
    EXPECT_EQ(PictureIndex, 0);
}

// The screen-saver service as a test sees it: inhibitions are granted when the test says so.
class FakeScreenSaver final : public ScreenSaverService {
public:
    void inhibit(std::function<void(std::uint32_t)> granted) override { pending.push_back(std::move(granted)); }
    void uninhibit(std::uint32_t cookie) override { released.push_back(cookie); }
    void grant()
    {
        for (auto& g : std::exchange(pending, {}))
            g(++lastCookie);
    }
    std::vector<std::function<void(std::uint32_t)>> pending;
    std::vector<std::uint32_t> released;
    std::uint32_t lastCookie = 0;
};

enum class ShowEnd { ListEnds, Escape, CloseBeforeShown };
struct HoldCase {
    const char* name;
    ShowEnd end;
    bool grantedDuringShow; // else after the window has gone
    int requests;
    friend void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name; }
};

class ScreenSaverHoldTest : public SlideWindowTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(ScreenSaverHoldTest, HeldWhileTheShowRunsAndReleasedHoweverItEnds)
{
    const HoldCase& c = GetParam();
    FakeScreenSaver service;
    setScreenSaverService(&service);
    makePictures(2);
    bool heldDuringShow = false;
    runShow(
        [&](Tfrm_slide& f, int n) {
            if (c.grantedDuringShow)
                service.grant();
            if (n == 1)
                heldDuringShow = f.ScreenSaverHeld();
            if (c.end == ShowEnd::Escape && n == 1)
                f.FormKeyDown(Qt::Key_Escape);
        },
        [&](Tfrm_slide& f) {
            if (c.end == ShowEnd::CloseBeforeShown)
                f.N4Click();
        });
    service.grant(); // an answer still on its way when the window went
    setScreenSaverService(nullptr);
    EXPECT_EQ(int(service.lastCookie), c.requests);
    EXPECT_EQ(heldDuringShow, c.end != ShowEnd::CloseBeforeShown);
    EXPECT_EQ(service.released, c.requests ? std::vector<std::uint32_t>{1} : std::vector<std::uint32_t>{});
}

INSTANTIATE_TEST_SUITE_P(Ends, ScreenSaverHoldTest,
                         ::testing::Values(HoldCase{"ListEnds", ShowEnd::ListEnds, true, 1},
                                           HoldCase{"Escape", ShowEnd::Escape, true, 1},
                                           HoldCase{"EscapeBeforeTheAnswer", ShowEnd::Escape, false, 1},
                                           HoldCase{"CloseBeforeShown", ShowEnd::CloseBeforeShown, true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace lmvo
