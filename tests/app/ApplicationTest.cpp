// The program's application object under a desktop's locale. It has a main of its own: the
// locale is taken from the environment when the application object is made, once per process.
#include "app/Application.h"
#include "forms/ErrorReporter.h"
#include "music/MediaPlayer.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

QTemporaryDir* scratch = nullptr;

// 50 ms of silence, mono 16-bit PCM at 8 kHz.
std::string silentWav()
{
    const QString path = scratch->filePath(QStringLiteral("silence.wav"));
    QByteArray data("RIFF\x44\x03\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\x20\x03\0\0",
                    44);
    data.append(800, '\0');
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return {};
    return QFile::encodeName(path).toStdString();
}

TEST(LumivoApplication, NumericLocaleIsCByTheTimeTheMusicPlayerStarts)
{
    EXPECT_STRNE(std::setlocale(LC_CTYPE, nullptr), "C") << "the desktop's locale was not taken";
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    const std::string wav = silentWav();
    ASSERT_FALSE(wav.empty());
    lmvo::MediaPlayer player;
    EXPECT_NO_THROW(player.open(wav));
    EXPECT_TRUE(player.isOpen());
}

// What an event handler throws is reported in a box instead of unwinding through the event loop.
TEST(LumivoApplication, AnExceptionFromAnEventHandlerBecomesABox)
{
    struct Thrower : QObject {
        bool event(QEvent*) override { throw std::runtime_error("the handler failed"); }
    } thrower;
    struct Boxes : lmvo::MessageBoxes {
        void show(QWidget*, const lmvo::MessageBoxRequest& box) override { texts.push_back(box.text); }
        std::vector<QString> texts;
    } boxes;
    lmvo::setMessageBoxes(&boxes);
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    lmvo::showPendingReports();
    lmvo::setMessageBoxes(nullptr);
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("the handler failed.")});
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir dir;
    scratch = &dir;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LMVO_AUDIO_OUTPUT", "null", 0);
    // A desktop's locale that every Debian system has; "C" is what the numbers need.
    setenv("LC_ALL", "C.UTF-8", 1);
    lmvo::LumivoApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
