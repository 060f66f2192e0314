// The error reporter: reports are queued, never passed over; one box at a time, each after the
// previous one is dismissed; a burst gathered into one box with a cap; every box over the active
// modal window.
#include "forms/ErrorReporter.h"

#include <QCoreApplication>
#include <QDialog>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace lmvo {
namespace {

// Boxes that stay open while `whileOpen` runs, as a user reading them would keep them.
class HeldBoxes final : public MessageBoxes {
public:
    void show(QWidget* owner, const MessageBoxRequest& box) override
    {
        ++open;
        maxOpen = std::max(maxOpen, open);
        owners.push_back(owner);
        texts.push_back(box.text);
        if (whileOpen && texts.size() == 1)
            whileOpen();
        --open;
    }
    std::function<void()> whileOpen;
    std::vector<QWidget*> owners;
    QStringList texts;
    int open = 0;
    int maxOpen = 0;
};

void drainEvents()
{
    while (reportsPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

class ErrorReporterTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { setMessageBoxes(&boxes); }
    void TearDown() override { setMessageBoxes(nullptr); }
    HeldBoxes boxes;
};

// The parameter: how many reports arrive while the first box is open.
TEST_P(ErrorReporterTest, ReportsMadeWhileABoxIsOpenFollowItInOneBox)
{
    const int burst = GetParam();
    boxes.whileOpen = [burst] {
        for (int i = 0; i < burst; ++i)
            reportError(QStringLiteral("later %1").arg(i));
        // Events go on inside the open box; the queued reports wait their turn.
        QCoreApplication::processEvents();
    };
    bool shown = false;
    reportError(QStringLiteral("first"));
    whenReportsShown(qApp, [&] { shown = true; });
    drainEvents();
    QCoreApplication::processEvents();

    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.maxOpen, 1);
    EXPECT_EQ(boxes.texts[0], QStringLiteral("first."));
    const int listed = std::min(burst, 10);
    for (int i = 0; i < burst; ++i)
        EXPECT_EQ(boxes.texts[1].contains(QStringLiteral("later %1.").arg(i)), i < listed) << i;
    const QStringList paragraphs = boxes.texts[1].split(QStringLiteral("\n\n"));
    ASSERT_EQ(paragraphs.size(), listed + (burst > listed ? 1 : 0));
    if (burst > listed) {
        EXPECT_TRUE(paragraphs.back().contains(QString::number(burst - listed))); // "and N more"
    }
    EXPECT_TRUE(shown);
    EXPECT_FALSE(reportsPending());
}

INSTANTIATE_TEST_SUITE_P(Bursts, ErrorReporterTest, ::testing::Values(1, 3, 10, 13),
                         [](const auto& info) { return "Burst" + std::to_string(info.param); });

TEST(ErrorReporterOwnerTest, BoxesGoOverTheActiveModalWindow)
{
    HeldBoxes boxes;
    setMessageBoxes(&boxes);
    QDialog modal;
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    reportError(QStringLiteral("over the modal window"));
    drainEvents();
    modal.hide();
    setMessageBoxes(nullptr);
    ASSERT_EQ(boxes.owners.size(), 1u);
    EXPECT_EQ(boxes.owners[0], &modal);
}

} // namespace
} // namespace lmvo
