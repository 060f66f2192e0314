#include "forms/FolderChooser.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <utility>
#include <vector>

namespace lmvo {
namespace {

// Answers the chooser from a script and records where each dialog opened.
class ScriptedChooser final : public FolderChooser {
public:
    explicit ScriptedChooser(QStringList answers) : answers_(std::move(answers)) {}
    std::vector<std::pair<QString, QString>> asked; // title, start folder

protected:
    QString ask(QWidget*, const QString& title, const QString& start) override
    {
        asked.emplace_back(title, start);
        return answers_.takeFirst();
    }

private:
    QStringList answers_;
};

TEST(FolderChooserTest, CancelBeforeAnyChoiceYieldsNothing)
{
    ScriptedChooser chooser({QString()});
    EXPECT_EQ(chooser.choose(nullptr), QString());
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].first, QStringLiteral("Browse for Folder"));
    EXPECT_EQ(chooser.asked[0].second, QString());
}

TEST(FolderChooserTest, OpensAtTheLastSelectionAndYieldsItAfterCancel)
{
    ScriptedChooser chooser({QStringLiteral("/pictures"), QString(), QStringLiteral("/music")});
    EXPECT_EQ(chooser.choose(nullptr), QStringLiteral("/pictures"));
    EXPECT_EQ(chooser.choose(nullptr), QStringLiteral("/pictures")) << "Cancel keeps the last";
    EXPECT_EQ(chooser.choose(nullptr), QStringLiteral("/music"));
    ASSERT_EQ(chooser.asked.size(), 3u);
    EXPECT_EQ(chooser.asked[1].second, QStringLiteral("/pictures"));
    EXPECT_EQ(chooser.asked[2].second, QStringLiteral("/pictures"));
    EXPECT_EQ(chooser.selectedFolder(), QStringLiteral("/music"));
}

} // namespace
} // namespace lmvo
