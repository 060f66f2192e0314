#include "forms/ufrm_about.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace lmvo {
namespace {

void send(QWidget* to, QEvent&& event) { QCoreApplication::sendEvent(to, &event); }

void enter(QWidget* w) { send(w, QEnterEvent(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2))); }
void leave(QWidget* w) { send(w, QEvent(QEvent::Leave)); }
void click(QWidget* w)
{
    const QPointF at(3, 3);
    send(w, QMouseEvent(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier));
    send(w, QMouseEvent(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier));
}

class AboutWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }
    void TearDown() override { setUrlOpener({}); }

    // Runs ShowAbout and calls `inside` with the window while its modal show runs.
    void showAbout(const std::function<void(Tfrm_about*)>& inside)
    {
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<Tfrm_about*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            ASSERT_EQ(window, frm_about.data());
            inside(window);
            if (window->isVisible())
                window->close();
        });
        ShowAbout();
    }

    std::vector<QUrl> opened;
};

TEST_F(AboutWindowTest, LinkUnderlinesOnEnterAndNotOnLeave)
{
    Tfrm_about about;
    QLabel* link = about.Label_url();
    EXPECT_FALSE(link->font().underline());
    enter(link);
    EXPECT_TRUE(link->font().underline());
    enter(link);
    EXPECT_TRUE(link->font().underline()) << "a second enter keeps the underline";
    leave(link);
    EXPECT_FALSE(link->font().underline());
}

TEST_F(AboutWindowTest, EnterMakesTheStyleUnderlineOnly)
{
    Tfrm_about about;
    QLabel* link = about.Label_url();
    QFont bold = link->font();
    bold.setBold(true);
    bold.setUnderline(true);
    link->setFont(bold);
    leave(link);
    EXPECT_TRUE(link->font().underline()) << "leave removes only an underline-only style";
    enter(link);
    EXPECT_TRUE(link->font().underline());
    EXPECT_FALSE(link->font().bold());
}

TEST_F(AboutWindowTest, LinkClickOpensTheHomePageAndKeepsTheWindowOpen)
{
    bool stillOpen = false;
    showAbout([&](Tfrm_about* window) {
        click(window->Label_url());
        stillOpen = window->isVisible();
    });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://lumivo.example/")));
    EXPECT_TRUE(stillOpen);
}

TEST_F(AboutWindowTest, ButtonEndsTheModalShowAndTheWindowIsFreed)
{
    showAbout([](Tfrm_about* window) {
        auto* button = window->findChild<QPushButton*>(QStringLiteral("Button1"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        button->click();
        EXPECT_FALSE(window->isVisible());
    });
    EXPECT_TRUE(frm_about.isNull());
}

TEST_F(AboutWindowTest, EveryOpeningShowsAFreshWindow)
{
    QPointer<Tfrm_about> first;
    bool secondUnderlined = true;
    showAbout([&](Tfrm_about* window) {
        first = window;
        enter(window->Label_url());
    });
    EXPECT_TRUE(first.isNull()) << "the first window is freed when its show returns";
    showAbout([&](Tfrm_about* window) { secondUnderlined = window->Label_url()->font().underline(); });
    EXPECT_FALSE(secondUnderlined);
}

TEST_F(AboutWindowTest, WindowHasItsSizeCaptionAndTexts)
{
    Tfrm_about about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于"));
    EXPECT_EQ(about.size(), QSize(311, 184));
    EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("Label_ver"))->text(), QStringLiteral("版本：3.0"));
    EXPECT_EQ(about.Label_url()->geometry(), QRect(31, 118, 72, 17));
    EXPECT_EQ(about.Label_url()->cursor().shape(), Qt::PointingHandCursor);
}

// The window's Windows fonts must land on a font that has the Chinese characters.
TEST_F(AboutWindowTest, ChineseTextsHaveAFont)
{
    Tfrm_about about;
    for (const char* name : {"Label5", "Label_url", "Label_ver"}) {
        auto* label = about.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr);
        const QFontMetrics metrics(label->font());
        for (const QChar c : label->text())
            EXPECT_TRUE(metrics.inFont(c) || c.unicode() < 128) << name << " lacks U+" << std::hex << int(c.unicode());
    }
}

TEST(ProgramIconTest, IsCompiledIn)
{
    const QIcon icon = programIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(256, 256).size(), QSize(256, 256));
}

} // namespace
} // namespace lmvo
