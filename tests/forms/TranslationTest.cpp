// The English texts: installed for a reader of any language but Chinese, and complete.
#include "app/Application.h"
#include "forms/Ulmvo.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <memory>

namespace lmvo {
namespace {

class NoPlayer final : public AudioPlayer {
public:
    void open(const std::string&) override {}
    void close() override {}
    bool isOpen() const override { return false; }
    void play() override {}
    void stop() override {}
    std::int64_t length() override { return 0; }
    std::int64_t position() override { return 0; }
};

struct Captions {
    QString play;
    QString keepProportions;
};

Captions settingsCaptions()
{
    NoPlayer player;
    const Tfrm_lmvo window({&player, nullptr, [](const QString&) { return std::unique_ptr<SlideShow>(); }});
    return {window.findChild<QPushButton*>(QStringLiteral("btn_play"))->text(),
            window.findChild<QCheckBox*>(QStringLiteral("cb_keepratio"))->text()};
}

TEST(TranslationTest, ChineseAndTheCLocaleKeepTheChineseTexts)
{
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Chinese, QLocale::China),
                                  QLocale(QLocale::Chinese, QLocale::Taiwan)}) {
        const auto translator = installTranslation(*QCoreApplication::instance(), locale);
        EXPECT_EQ(translator, nullptr) << locale.name().toStdString();
        EXPECT_EQ(settingsCaptions().play, QStringLiteral("播放(&P)"));
    }
}

TEST(TranslationTest, AnotherLanguageReadsTheSettingsWindowInEnglish)
{
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        const auto translator = installTranslation(*QCoreApplication::instance(), locale);
        ASSERT_NE(translator, nullptr) << locale.name().toStdString();
        const Captions captions = settingsCaptions();
        EXPECT_EQ(captions.play, QStringLiteral("&Play"));
        EXPECT_EQ(captions.keepProportions, QStringLiteral("Keep proportions"));
    }
    EXPECT_EQ(settingsCaptions().play, QStringLiteral("播放(&P)")) << "the translator outlived its owner";
}

// The placeholders a text fills in, sorted: a translation that lost one shows "%1" to the user.
QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%(n|[1-9][0-9]?)"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

// The translations of the message in hand: its plural forms, or its one text.
QStringList translationsAt(QXmlStreamReader& ts)
{
    QStringList forms;
    QString text;
    while (!ts.atEnd() && !(ts.readNext() == QXmlStreamReader::EndElement && ts.name() == u"translation")) {
        if (ts.isCharacters())
            text += ts.text();
        else if (ts.isStartElement() && ts.name() == u"numerusform")
            forms << ts.readElementText();
    }
    return forms.isEmpty() ? QStringList{text} : forms;
}

TEST(TranslationTest, EveryTextOfTheCatalogueIsTranslatedWithItsPlaceholders)
{
    QFile file(QStringLiteral(LMVO_ENGLISH_TS));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader ts(&file);
    QString source;
    int translated = 0;
    while (!ts.atEnd()) {
        if (ts.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (ts.name() == u"source") {
            source = ts.readElementText();
        } else if (ts.name() == u"translation") {
            const QString kind = ts.attributes().value(QLatin1StringView("type")).toString();
            EXPECT_TRUE(kind.isEmpty()) << kind.toStdString() << ": " << source.toStdString();
            for (const QString& form : translationsAt(ts)) {
                EXPECT_FALSE(form.trimmed().isEmpty()) << source.toStdString();
                EXPECT_EQ(placeholders(form), placeholders(source)) << source.toStdString();
            }
            ++translated;
        }
    }
    EXPECT_FALSE(ts.hasError()) << ts.errorString().toStdString();
    EXPECT_GT(translated, 50);
}

} // namespace
} // namespace lmvo
